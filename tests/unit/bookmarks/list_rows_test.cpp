#include "bookmarks/list_rows.h"
#include "core/database.h"
#include "core/file_version.h"
#include "core/tables.h"
#include "framework/expression.h"
#include "framework/picture.h"
#include "framework/text.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <map>

namespace tessaly {
namespace {

class ListRowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        ASSERT_EQ(db.bookmarks().use(), kLevelDone);
    }

    void fill(int count)
    {
        RecordFile& file = db.bookmarks().file();
        file.stream();
        for (int i = 0; i < count; ++i) {
            Record r{bookmarkTable()};
            r.setText(BookmarkField::Location, "http://site" + std::to_string(1000 + i) + "/");
            r.setText(BookmarkField::Description, "Site " + std::to_string(1000 + count - i));
            r.setText(BookmarkField::Category, i % 2 == 0 ? "Even" : "odd");
            r.setNumber(BookmarkField::Rating, i % 10);
            ASSERT_TRUE(file.add(r).ok());
        }
        file.flush();
    }

    std::vector<std::string> column(ListRows& rows, BookmarkField field, std::size_t count)
    {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < count && i < rows.size(); ++i) {
            out.push_back(rows.at(i).text(field));
        }
        return out;
    }

    // Rows whose keyword and category differ in letter case and repeat,
    // so that every key has ties and case to order.
    void fillMixed(int count)
    {
        RecordFile& file = db.bookmarks().file();
        file.stream();
        const std::array<std::string, 4> keywords = {"news", "Music", "", "music"};
        for (int i = 0; i < count; ++i) {
            Record r{bookmarkTable()};
            r.setText(BookmarkField::Location, "http://host" + std::to_string(i * 7919 % 1000));
            r.setText(BookmarkField::Description, "Item " + std::to_string(i * 31 % 97));
            r.setText(BookmarkField::Category,
                      i % 3 == 0 ? "Zeta" : (i % 3 == 1 ? "alpha" : "Beta"));
            r.setNumber(BookmarkField::Rating, i % 7);
            r.setText(BookmarkField::Keyword, keywords[static_cast<std::size_t>(i % 4)]);
            ASSERT_TRUE(file.add(r).ok());
        }
        ASSERT_TRUE(file.flush().ok());
    }

    std::vector<std::int64_t> positions(ListRows& rows)
    {
        std::vector<std::int64_t> out;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            out.push_back(rows.at(i).position);
        }
        return out;
    }

    test::TempFolder folder;
    test::ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
};

TEST_F(ListRowsTest, ThreeHundredLoadWholeAndThreeHundredAndOnePage)
{
    fill(300);
    ListRows small{db.bookmarks().file()};
    ASSERT_TRUE(small.reload().ok());
    EXPECT_FALSE(small.paging());
    EXPECT_EQ(small.size(), 300U);
    EXPECT_EQ(small.fileCount(), 300);

    Record extra{bookmarkTable()};
    extra.setText(BookmarkField::Location, "http://extra/");
    ASSERT_TRUE(db.bookmarks().file().add(extra).ok());
    ListRows large{db.bookmarks().file()};
    ASSERT_TRUE(large.reload().ok());
    EXPECT_TRUE(large.paging());
    EXPECT_EQ(large.size(), 301U);
    EXPECT_EQ(large.fileCount(), 301);
    EXPECT_EQ(large.at(300).text(BookmarkField::Location), "http://site1299/");
}

TEST_F(ListRowsTest, OrdersAndLocatorsInBothModes)
{
    for (const int count : {40, 1000}) {
        db.bookmarks().file().stream();
        Record r{bookmarkTable()};
        db.bookmarks().file().set(0);
        while (db.bookmarks().file().next(r).ok()) {
            db.bookmarks().file().remove(r);
        }
        db.bookmarks().file().flush();
        fill(count);
        ListRows rows{db.bookmarks().file()};
        rows.setOrder(static_cast<int>(BookmarkKey::Rating));
        ASSERT_TRUE(rows.reload().ok());
        EXPECT_EQ(rows.at(0).number(BookmarkField::Rating), 9) << "highest rating first";
        EXPECT_EQ(rows.at(rows.size() - 1).number(BookmarkField::Rating), 0);
        const auto five = rows.locate("5");
        ASSERT_TRUE(five);
        EXPECT_EQ(rows.at(*five).number(BookmarkField::Rating), 5);
        EXPECT_EQ(rows.at(*five - 1).number(BookmarkField::Rating), 6);

        rows.setOrder(static_cast<int>(BookmarkKey::Description));
        ASSERT_TRUE(rows.reload().ok());
        const auto site = rows.locate("site 102");
        ASSERT_TRUE(site) << count;
        EXPECT_EQ(rows.at(*site).text(BookmarkField::Description).substr(0, 8), "Site 102");

        rows.setOrder(static_cast<int>(BookmarkKey::Category));
        ASSERT_TRUE(rows.reload().ok());
        const auto odd = rows.locate("o");
        ASSERT_TRUE(odd);
        EXPECT_EQ(rows.at(*odd).text(BookmarkField::Category), "odd");
        EXPECT_EQ(rows.at(*odd - 1).text(BookmarkField::Category), "Even") << "capitals first";
    }
}

TEST_F(ListRowsTest, AFilterNarrowsBothModes)
{
    fill(1000);
    const SchemaResolver resolver{bookmarkSchema()};
    ListRows rows{db.bookmarks().file()};
    rows.setFilter(std::make_shared<const Expression>(
        Expression::compile("URL:Category = 'odd' AND URL:Rating = 3", resolver)));
    ASSERT_TRUE(rows.reload().ok());
    EXPECT_EQ(rows.size(), 100U);
    EXPECT_EQ(rows.fileCount(), 1000) << "the title counts the whole file";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows.at(i).number(BookmarkField::Rating), 3);
    }
    rows.setFilter(nullptr);
    ASSERT_TRUE(rows.reload().ok());
    EXPECT_EQ(rows.size(), 1000U);
}

TEST_F(ListRowsTest, ARowDeletedElsewhereShowsBlankUntilTheReload)
{
    fill(400);
    ListRows rows{db.bookmarks().file()};
    ASSERT_TRUE(rows.reload().ok());
    Record gone = rows.at(10);
    ASSERT_TRUE(db.bookmarks().file().remove(gone).ok());
    ListRows fresh{db.bookmarks().file()};
    ASSERT_TRUE(fresh.reload().ok());
    EXPECT_EQ(fresh.size(), 399U);
}

// Orders two bookmarks by a key's components as the key defines them.
int keyOrder(const Record& a, const Record& b, const KeyDef& key)
{
    for (const KeyComponent& part : key.components) {
        int c = 0;
        if (a.table().isText(part.field)) {
            c = key.noCase ? text::compareNoCase(a.text(part.field), b.text(part.field))
                           : text::compare(a.text(part.field), b.text(part.field));
        } else {
            c = a.number(part.field) < b.number(part.field)
                    ? -1
                    : (a.number(part.field) > b.number(part.field) ? 1 : 0);
        }
        if (c != 0) {
            return part.descending ? -c : c;
        }
    }
    return 0;
}

TEST_F(ListRowsTest, APagedListSortsByEachKeyFieldBothWays)
{
    fillMixed(301);
    const TableDef& table = bookmarkTable();
    for (const BookmarkField field :
         {BookmarkField::Location, BookmarkField::Description, BookmarkField::Category,
          BookmarkField::Rating, BookmarkField::Keyword}) {
        const int key = keyServingField(table, static_cast<int>(field));
        ASSERT_GE(key, 0) << table.column(static_cast<int>(field));
        EXPECT_EQ(table.keys[static_cast<std::size_t>(key)].components.front().field,
                  static_cast<int>(field));
        ListRows rows{db.bookmarks().file()};
        rows.setOrder(key);
        ASSERT_TRUE(rows.reload().ok());
        ASSERT_TRUE(rows.paging());
        ASSERT_EQ(rows.size(), 301U);
        for (std::size_t i = 1; i < rows.size(); ++i) {
            const Record before = rows.at(i - 1);
            ASSERT_LE(keyOrder(before, rows.at(i), table.keys[static_cast<std::size_t>(key)]), 0)
                << table.column(static_cast<int>(field)) << " row " << i;
        }
        const std::vector<std::int64_t> forwards = positions(rows);
        rows.setDescending(true);
        ASSERT_TRUE(rows.reload().ok());
        std::vector<std::int64_t> backwards = positions(rows);
        std::reverse(backwards.begin(), backwards.end());
        EXPECT_EQ(backwards, forwards) << table.column(static_cast<int>(field));
    }
    EXPECT_EQ(keyServingField(table, static_cast<int>(BookmarkField::SiteInfo)), -1);
    EXPECT_EQ(keyServingField(keywordTable(), static_cast<int>(KeywordField::Location)), 0);
}

TEST_F(ListRowsTest, ALocatorFindsTheNearestRowInTheOrderShown)
{
    for (const int count : {40, 1000}) {
        RecordFile& file = db.bookmarks().file();
        Record r{bookmarkTable()};
        file.set(0);
        while (file.next(r).ok()) {
            ASSERT_TRUE(file.remove(r).ok());
        }
        fill(count); // descriptions "Site 1001" ... one per number
        ListRows rows{db.bookmarks().file()};
        rows.setOrder(static_cast<int>(BookmarkKey::Description));
        for (const bool descending : {false, true}) {
            rows.setDescending(descending);
            ASSERT_TRUE(rows.reload().ok());
            auto shown = [&](std::optional<std::size_t> row) {
                return row ? rows.at(*row).text(BookmarkField::Description) : "none";
            };
            // "Site 10255" would stand between "Site 1025" and "Site 1026":
            // the row after it is the one shown below that gap.
            EXPECT_EQ(shown(rows.locate("site 10255")), descending ? "Site 1025" : "Site 1026")
                << count;
            EXPECT_EQ(shown(rows.locate("SITE 102")), descending ? "Site 1029" : "Site 1020");
            // Past either end: the highest row is at the top of one order
            // and the bottom of the other, and is the nearest in both.
            EXPECT_EQ(shown(rows.locate("zzz")), count == 40 ? "Site 1040" : "Site 2000");
            EXPECT_EQ(shown(rows.locate("A")), "Site 1001");
        }

        rows.setOrder(static_cast<int>(BookmarkKey::Rating));
        ASSERT_TRUE(rows.reload().ok());
        const auto five = rows.locate("5");
        ASSERT_TRUE(five);
        EXPECT_EQ(rows.at(*five).number(BookmarkField::Rating), 5);
        EXPECT_EQ(rows.at(*five - 1).number(BookmarkField::Rating), 4) << "lowest first";

        rows.setOrder(static_cast<int>(BookmarkKey::Category));
        ASSERT_TRUE(rows.reload().ok());
        const auto even = rows.locate("e");
        ASSERT_TRUE(even);
        EXPECT_EQ(rows.at(*even).text(BookmarkField::Category), "Even");
        EXPECT_EQ(rows.at(*even - 1).text(BookmarkField::Category), "odd");
    }
}

TEST_F(ListRowsTest, AFilterAndAReversedOrderTogether)
{
    fill(1000);
    const SchemaResolver resolver{bookmarkSchema()};
    ListRows rows{db.bookmarks().file()};
    rows.setOrder(static_cast<int>(BookmarkKey::Description));
    rows.setFilter(std::make_shared<const Expression>(
        Expression::compile("URL:Category = 'odd' AND URL:Rating = 3", resolver)));
    ASSERT_TRUE(rows.reload().ok());
    const std::vector<std::int64_t> forwards = positions(rows);
    rows.setDescending(true);
    ASSERT_TRUE(rows.reload().ok());
    ASSERT_EQ(rows.size(), 100U);
    std::vector<std::int64_t> backwards = positions(rows);
    std::reverse(backwards.begin(), backwards.end());
    EXPECT_EQ(backwards, forwards);
    EXPECT_EQ(rows.at(0).text(BookmarkField::Description), "Site 1997");
    EXPECT_EQ(rows.at(0).number(BookmarkField::Rating), 3);
    const auto found = rows.locate("site 15");
    ASSERT_TRUE(found);
    EXPECT_EQ(rows.at(*found).text(BookmarkField::Description), "Site 1597");
}

class FieldSortTest : public ListRowsTest {
protected:
    // Fifty bookmarks ordered by description "Row 10" ... "Row 59": dates
    // with ties and blanks, sizes with zeros, comments in mixed case with
    // blanks and accents.
    void SetUp() override
    {
        ListRowsTest::SetUp();
        RecordFile& file = db.bookmarks().file();
        file.stream();
        const std::array<std::string, 6> comments = {"banana", "Apple",  "",
                                                     "éclair", "Cherry", "apple"};
        for (int i = 0; i < 50; ++i) {
            Record r{bookmarkTable()};
            r.setText(BookmarkField::Location, "http://h" + std::to_string(i) + "/");
            r.setText(BookmarkField::Description, "Row " + std::to_string(10 + i));
            r.setNumber(BookmarkField::LastVisit, i % 5 == 0 ? 0 : 80000 + (i * 13) % 7);
            r.setNumber(BookmarkField::PageSize, (i * 37) % 11 * 100);
            r.setText(BookmarkField::Comments, comments[static_cast<std::size_t>(i % 6)]);
            ASSERT_TRUE(file.add(r).ok());
        }
        ASSERT_TRUE(file.flush().ok());
    }

    // Checks the rows are in `field`'s order (`descending` or not), blanks
    // last, ties in description order.
    void expectSorted(ListRows& rows, BookmarkField field, bool descending)
    {
        ASSERT_EQ(rows.size(), 50U);
        for (std::size_t i = 1; i < rows.size(); ++i) {
            const Record& a = rows.at(i - 1);
            const Record& b = rows.at(i);
            const SortValue va = sortValueOf(a, static_cast<int>(field));
            const SortValue vb = sortValueOf(b, static_cast<int>(field));
            ASSERT_FALSE(va.blank && !vb.blank) << "a blank before a value at " << i;
            int c = compareSortValues(va, vb);
            if (!va.blank && !vb.blank && descending) {
                c = -c;
            }
            ASSERT_LE(c, 0) << i;
            if (c == 0) {
                ASSERT_LT(a.text(BookmarkField::Description), b.text(BookmarkField::Description))
                    << "ties keep the key's order at " << i;
            }
        }
    }

    // The comments in the order shown, each run of equal ones (letter case
    // aside) given once.
    std::vector<std::string> comments(ListRows& rows)
    {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (out.empty() ||
                !text::equalNoCase(out.back(), rows.at(i).text(BookmarkField::Comments))) {
                out.push_back(rows.at(i).text(BookmarkField::Comments));
            }
        }
        return out;
    }
};

TEST_F(FieldSortTest, DatesNumbersAndTextsSortBothWaysWithBlanksLast)
{
    ListRows rows{db.bookmarks().file()};
    rows.setOrder(static_cast<int>(BookmarkKey::Description));
    for (const BookmarkField field :
         {BookmarkField::LastVisit, BookmarkField::PageSize, BookmarkField::Comments}) {
        for (const bool descending : {false, true}) {
            rows.setFieldSort(static_cast<int>(field), descending);
            ASSERT_TRUE(rows.reload().ok());
            EXPECT_EQ(rows.sortField(), static_cast<int>(field));
            expectSorted(rows, field, descending);
        }
    }
    rows.setFieldSort(static_cast<int>(BookmarkField::LastVisit), false);
    ASSERT_TRUE(rows.reload().ok());
    EXPECT_EQ(rows.at(0).number(BookmarkField::LastVisit), 80000);
    EXPECT_EQ(rows.at(49).number(BookmarkField::LastVisit), 0) << "no date goes last";
    EXPECT_EQ(rows.at(49).text(BookmarkField::Description), "Row 55");
    rows.setFieldSort(static_cast<int>(BookmarkField::PageSize), true);
    ASSERT_TRUE(rows.reload().ok());
    EXPECT_EQ(rows.at(49).number(BookmarkField::PageSize), 0) << "a size of 0 is a size";
    EXPECT_EQ(rows.at(0).number(BookmarkField::PageSize), 1000);

    rows.setFieldSort(static_cast<int>(BookmarkField::Comments), false);
    ASSERT_TRUE(rows.reload().ok());
    EXPECT_EQ(comments(rows),
              (std::vector<std::string>{"Apple", "banana", "Cherry", "éclair", ""}));
    rows.setDescending(true);
    ASSERT_TRUE(rows.reload().ok());
    EXPECT_EQ(rows.at(0).text(BookmarkField::Comments), "éclair");
    EXPECT_EQ(rows.at(49).text(BookmarkField::Comments), "");

    rows.setFieldSort(std::nullopt, false);
    ASSERT_TRUE(rows.reload().ok());
    EXPECT_EQ(rows.at(0).text(BookmarkField::Description), "Row 10") << "back to the key";
}

TEST_F(FieldSortTest, TheLocatorSearchesTheSortField)
{
    ListRows rows{db.bookmarks().file()};
    rows.setFieldSort(static_cast<int>(BookmarkField::Comments), false);
    ASSERT_TRUE(rows.reload().ok());
    auto shown = [&](std::optional<std::size_t> row) {
        return row ? rows.at(*row).text(BookmarkField::Comments) : "none";
    };
    EXPECT_EQ(shown(rows.locate("B")), "banana");
    EXPECT_EQ(shown(rows.locate("ÉC")), "éclair");
    EXPECT_EQ(shown(rows.locate("d")), "éclair") << "the row after the gap";
    rows.setDescending(true);
    ASSERT_TRUE(rows.reload().ok());
    EXPECT_EQ(shown(rows.locate("d")), "Cherry");
    EXPECT_EQ(shown(rows.locate("a")), "Apple") << "the first of the apples shown";
    EXPECT_EQ(shown(rows.locate("zzz")), "Cherry") << "é sorts after z, as in the keys";

    rows.setFieldSort(static_cast<int>(BookmarkField::PageSize), true);
    ASSERT_TRUE(rows.reload().ok());
    const auto size = rows.locate("450");
    ASSERT_TRUE(size);
    EXPECT_EQ(rows.at(*size).number(BookmarkField::PageSize), 400);
    EXPECT_FALSE(rows.locate("big")) << "no number, no move";

    // A date is typed as the list shows it.
    rows.setFieldSort(static_cast<int>(BookmarkField::LastVisit), true);
    ASSERT_TRUE(rows.reload().ok());
    const auto day = rows.locate(format(80003.0, "@d17"));
    ASSERT_TRUE(day);
    EXPECT_EQ(rows.at(*day).number(BookmarkField::LastVisit), 80003);
    EXPECT_EQ(rows.at(*day - 1).number(BookmarkField::LastVisit), 80004);
    EXPECT_FALSE(rows.locate("the 3rd"));
}

TEST_F(FieldSortTest, APagedListSortsByAnyFieldThroughSortedPositions)
{
    fill(300); // 350 records: paged
    ListRows rows{db.bookmarks().file()};
    rows.setOrder(static_cast<int>(BookmarkKey::Location));
    std::vector<std::size_t> reported;
    rows.setProgress([&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, 350U);
        reported.push_back(done);
        return true;
    });
    rows.setFieldSort(static_cast<int>(BookmarkField::Comments), true);
    ASSERT_TRUE(rows.reload().ok());
    ASSERT_TRUE(rows.paging());
    EXPECT_EQ(rows.sortField(), static_cast<int>(BookmarkField::Comments));
    EXPECT_FALSE(rows.cancelled());
    ASSERT_EQ(rows.size(), 350U);
    ASSERT_EQ(reported.size(), 2U);
    EXPECT_EQ(reported.front(), 0U);
    EXPECT_EQ(reported.back(), 350U);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const SortValue a = sortValueOf(rows.at(i - 1), static_cast<int>(BookmarkField::Comments));
        const SortValue b = sortValueOf(rows.at(i), static_cast<int>(BookmarkField::Comments));
        ASSERT_FALSE(a.blank && !b.blank) << "a blank before a value at " << i;
        ASSERT_TRUE(a.blank || b.blank || compareSortValues(a, b) >= 0) << "row " << i;
    }
    EXPECT_EQ(rows.at(0).text(BookmarkField::Comments), "éclair");
    const auto cherry = rows.locate("ch");
    ASSERT_TRUE(cherry);
    EXPECT_EQ(rows.at(*cherry).text(BookmarkField::Comments), "Cherry");
    EXPECT_EQ(rows.positions().size(), 350U);

    // Cancel: the key's order, and no field left to show an arrow on.
    rows.setProgress([](std::size_t, std::size_t) { return false; });
    rows.setFieldSort(static_cast<int>(BookmarkField::LastVisit), false);
    ASSERT_TRUE(rows.reload().ok());
    EXPECT_TRUE(rows.cancelled());
    EXPECT_FALSE(rows.sortField());
    ASSERT_EQ(rows.size(), 350U);
    EXPECT_EQ(rows.at(0).text(BookmarkField::Location), "http://h0/");
}

TEST_F(FieldSortTest, KeywordRowsSortByTheirBookmarksFields)
{
    std::map<std::string, Record> bookmarks;
    RecordFile& bookmarkFile = db.bookmarks().file();
    Record b{bookmarkTable()};
    bookmarkFile.set(0);
    while (bookmarkFile.next(b).ok()) {
        bookmarks.emplace(b.text(BookmarkField::Location), b);
    }
    ASSERT_EQ(db.keywords().use(), kLevelDone);
    RecordFile& file = db.keywords().file();
    for (const int i : {3, 1, 2}) {
        Record k{keywordTable()};
        k.setText(KeywordField::Location, "http://h" + std::to_string(i) + "/");
        k.setNumber(KeywordField::Sequence, 1);
        k.setText(KeywordField::Keyword, "k");
        ASSERT_TRUE(file.add(k).ok());
    }
    ListRows rows{file};
    const Record none{bookmarkTable()};
    rows.setFieldSort(static_cast<int>(BookmarkField::Comments), false,
                      [&](const Record& row) -> const Record& {
                          const auto found = bookmarks.find(row.text(KeywordField::Location));
                          return found == bookmarks.end() ? none : found->second;
                      });
    ASSERT_TRUE(rows.reload().ok());
    ASSERT_EQ(rows.size(), 3U);
    // Comments of h1, h2, h3: "Apple", "", "éclair".
    EXPECT_EQ(rows.at(0).text(KeywordField::Location), "http://h1/");
    EXPECT_EQ(rows.at(1).text(KeywordField::Location), "http://h3/");
    EXPECT_EQ(rows.at(2).text(KeywordField::Location), "http://h2/");
}

} // namespace
} // namespace tessaly

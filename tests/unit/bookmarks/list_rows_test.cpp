#include "bookmarks/list_rows.h"
#include "core/database.h"
#include "core/file_version.h"
#include "core/tables.h"
#include "framework/expression.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace tessaly

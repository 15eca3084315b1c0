// The query editor's filters, checked by running them over real bookmarks.
#include "core/bookmark_schema.h"
#include "core/record.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/expression.h"
#include "framework/picture.h"
#include "framework/query_builder.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

class QueryBuilderTest : public ::testing::Test {
protected:
    QueryBuilderTest()
    {
        add("http://news.example/", "Daily News", "News", 7, 1);
        add("http://linux.example/", "Kernel notes", "Linux", 9, 2);
        add("http://shop.example/", "O'Brien's shop", "Shopping", 0, 0);
        rows[1].setNumber(BookmarkField::LastVisit, dates::dayNumber(2026, 12, 1));
    }

    void add(const char* location, const char* description, const char* category, int rating,
             int validated)
    {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Description, description);
        r.setText(BookmarkField::Category, category);
        r.setNumber(BookmarkField::Rating, rating);
        r.setNumber(BookmarkField::Validated, validated);
        rows.push_back(r);
    }

    // The locations the built filter lets through.
    std::vector<std::string> select(const std::vector<QueryCondition>& conditions)
    {
        std::string problem;
        const std::string filter = buildQueryFilter(conditions, fields, &problem);
        EXPECT_FALSE(filter.empty()) << problem;
        const Expression e = Expression::compile(filter, resolver);
        EXPECT_TRUE(e.ok()) << filter << ": " << (e.ok() ? "" : e.error().describe());
        std::vector<std::string> out;
        for (const Record& r : rows) {
            if (e.matches(r)) {
                out.push_back(r.text(BookmarkField::Location));
            }
        }
        return out;
    }

    std::vector<QueryField> fields = queryFieldsOf(bookmarkSchema());
    SchemaResolver resolver{bookmarkSchema()};
    std::vector<Record> rows;
};

using Op = QueryOperator;

TEST_F(QueryBuilderTest, TextOperatorsIgnoreLetterCase)
{
    EXPECT_EQ(select({{"URL:Category", Op::Equal, "news"}}),
              (std::vector<std::string>{"http://news.example/"}));
    EXPECT_EQ(select({{"URL:Category", Op::NotEqual, "NEWS"}}).size(), 2U);
    EXPECT_EQ(select({{"URL:Description", Op::BeginsWith, "kern"}}),
              (std::vector<std::string>{"http://linux.example/"}));
    EXPECT_EQ(select({{"URL:Description", Op::NotBeginsWith, "kern"}}).size(), 2U);
    EXPECT_EQ(select({{"URL:Description", Op::Contains, "NOTE"}}),
              (std::vector<std::string>{"http://linux.example/"}));
    EXPECT_EQ(select({{"URL:Description", Op::NotContains, "news"}}),
              (std::vector<std::string>{"http://linux.example/", "http://shop.example/"}));
    EXPECT_EQ(select({{"URL:Description", Op::Contains, "o'brien"}}),
              (std::vector<std::string>{"http://shop.example/"}))
        << "a quote in the value";
    EXPECT_EQ(select({{"URL:Category", Op::Greater, "M"}}).size(), 2U);
}

TEST_F(QueryBuilderTest, NumbersChoicesDatesAndChecks)
{
    EXPECT_EQ(select({{"URL:Rating", Op::GreaterOrEqual, "7"}}).size(), 2U);
    EXPECT_EQ(select({{"URL:Rating", Op::Less, "7"}}),
              (std::vector<std::string>{"http://shop.example/"}));
    EXPECT_EQ(select({{"URL:Validated", Op::Equal, "Failed"}}),
              (std::vector<std::string>{"http://linux.example/"}));
    EXPECT_EQ(select({{"URL:Validated", Op::Equal, "passed"}}),
              (std::vector<std::string>{"http://news.example/"}));
    const std::string nov30 = format(dates::dayNumber(2026, 11, 30), "@d17");
    EXPECT_EQ(select({{"URL:LastVisit", Op::Greater, nov30}}),
              (std::vector<std::string>{"http://linux.example/"}))
        << "a date typed as the short date format shows it";
    std::string problem;
    EXPECT_EQ(buildQueryFilter({{"URL:LastVisit", Op::Greater, "the 30th"}}, fields, &problem), "");
    EXPECT_EQ(select({{"URL:Rating", Op::Checked, ""}}).size(), 2U);
    EXPECT_EQ(select({{"URL:Rating", Op::NotChecked, ""}}),
              (std::vector<std::string>{"http://shop.example/"}));
}

TEST_F(QueryBuilderTest, AndBindsBeforeOr)
{
    EXPECT_EQ(select({{"URL:Category", Op::Equal, "Linux"},
                      {"URL:Rating", Op::Equal, "0", true},
                      {"URL:Description", Op::Contains, "shop"}}),
              (std::vector<std::string>{"http://linux.example/", "http://shop.example/"}));
}

TEST_F(QueryBuilderTest, ValuesAFieldCannotTakeAreRefused)
{
    std::string problem;
    EXPECT_EQ(buildQueryFilter({{"URL:Rating", Op::Equal, "lots"}}, fields, &problem), "");
    EXPECT_EQ(problem, "\"lots\" is no value for Rating");
    EXPECT_EQ(buildQueryFilter({{"URL:Rating", Op::Contains, "1"}}, fields, &problem), "");
    EXPECT_EQ(problem, "Rating is no text");
    EXPECT_EQ(buildQueryFilter({{"URL:Nothing", Op::Equal, "1"}}, fields, &problem), "");
    EXPECT_EQ(problem, "unknown field URL:Nothing");
}

TEST(SavedQueries, KeptUnderTheirTag)
{
    test::TempFolder folder;
    SavedQueries queries{folder.file("QUERIES.INI")};
    ASSERT_TRUE(queries.save("URL", "Good news", "URL:Rating >= 7"));
    ASSERT_TRUE(queries.save("LINKS", "Failed", "URL:Validated = 2"));
    EXPECT_EQ(queries.names("URL"), (std::vector<std::string>{"Good news"}));
    EXPECT_EQ(queries.filter("url", "good news"), "URL:Rating >= 7");
    EXPECT_FALSE(queries.filter("EXPORT", "Good news"));
    std::string error;
    EXPECT_FALSE(queries.save("URL", "a=b", "x", &error));
    EXPECT_FALSE(error.empty());
    ASSERT_TRUE(queries.remove("URL", "Good news"));
    EXPECT_TRUE(queries.names("URL").empty());
}

} // namespace
} // namespace tessaly

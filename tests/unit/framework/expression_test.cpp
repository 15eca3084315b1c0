#include "framework/dates.h"
#include "framework/expression.h"
#include "framework/record_schema.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace tessaly {
namespace {

constexpr std::array<FieldDef, 5> kFields = {{
    {"URL:Location", "Location", "@s255", 255, FieldType::Text},
    {"URL:Description", "Description", "@s255", 255, FieldType::Text},
    {"URL:Category", "Category", "@s50", 50, FieldType::Text},
    {"URL:Rating", "Rating", "@N2", 2, FieldType::Number},
    {"URL:LastVisit", "Last visit", "@d17", 4, FieldType::Number},
}};
constexpr RecordSchema kSchema{"URL", kFields};
constexpr std::array<FieldDef, 1> kCategoryFields = {{
    {"CAT:Category", "Category", "@s50", 50, FieldType::Text},
}};
constexpr RecordSchema kCategorySchema{"CAT", kCategoryFields};

struct Row final : FieldSource {
    std::string location, description, category;
    double rating = 0;
    double lastVisit = 0;
    std::string catCategory;

    Row(std::string l, std::string d, std::string c, double r, double v = 0)
        : location(std::move(l)), description(std::move(d)), category(std::move(c)), rating(r),
          lastVisit(v)
    {}

    Value field(int index) const override
    {
        switch (index) {
        case 0:
            return Value::view(location);
        case 1:
            return Value::view(description);
        case 2:
            return Value::view(category);
        case 3:
            return Value::number(rating);
        case 4:
            return Value::number(lastVisit);
        default:
            return Value::view(catCategory);
        }
    }
};

class ExpressionTest : public ::testing::Test {
protected:
    ExpressionTest()
    {
        resolver.add(kSchema);
        resolver.add(kCategorySchema);
    }

    bool matches(std::string_view filter, const Row& row) const
    {
        const Expression e = Expression::compile(filter, resolver);
        EXPECT_TRUE(e.ok()) << filter << ": " << (e.ok() ? "" : e.error().describe());
        return e.matches(row);
    }

    std::string value(std::string_view expression, const Row& row) const
    {
        const Expression e = Expression::compile(expression, resolver);
        EXPECT_TRUE(e.ok()) << expression << ": " << (e.ok() ? "" : e.error().describe());
        return e.evaluate(row).toText();
    }

    std::string errorOf(std::string_view text) const
    {
        const Expression e = Expression::compile(text, resolver);
        return e.ok() ? std::string{"(no error)"} : e.error().describe();
    }

    SchemaResolver resolver;
    Row news{"http://news.example.com/", "Daily News", "News", 7, 70000};
};

TEST_F(ExpressionTest, ComparesFieldsWithConstants)
{
    EXPECT_TRUE(matches("URL:Category = 'News'", news));
    EXPECT_TRUE(matches("url:category='News   '", news))
        << "labels ignore case, texts trailing blanks";
    EXPECT_TRUE(matches("Url:Category = 'News' AND URL:Rating >= 7", news));
    EXPECT_FALSE(matches("URL:Category = 'news'", news)) << "texts keep their case";
    EXPECT_TRUE(matches("URL:Rating > 6 AND URL:Rating < 8 AND URL:Rating <> 5", news));
    EXPECT_TRUE(matches("URL:Rating <= 7 AND URL:Rating = 7.0", news));
    EXPECT_FALSE(matches("URL:Rating > 7", news));
    EXPECT_TRUE(matches("URL:Description < 'Zebra' AND URL:Description > 'Apple'", news));
    EXPECT_TRUE(matches("URL:Location='http://news.example.com/'", news))
        << "the filter a list passes to the page download";
    EXPECT_TRUE(matches("URL:Rating = '7'", news)) << "a text that reads as a number";
    EXPECT_TRUE(matches("", news)) << "an empty filter passes every record";
    EXPECT_TRUE(Expression::compile("   ", resolver).empty());
}

TEST_F(ExpressionTest, AndBindsTighterThanOrAndParenthesesGroup)
{
    EXPECT_TRUE(matches("URL:Rating = 1 OR URL:Rating = 7 AND URL:Category = 'News'", news));
    EXPECT_FALSE(matches("(URL:Rating = 1 OR URL:Rating = 7) AND URL:Category = 'Sport'", news));
    EXPECT_TRUE(matches("URL:Category = 'Sport' OR (URL:Rating = 7)", news));
    EXPECT_TRUE(matches("NOT URL:Category = 'Sport'", news));
    EXPECT_TRUE(matches("~(URL:Rating = 1) and url:rating ~= 2", news));
    EXPECT_TRUE(matches("URL:Rating", news)) << "a non-zero number is true";
    EXPECT_FALSE(matches("URL:Rating = -7", news));
    EXPECT_TRUE(matches("-URL:Rating < 0", news));
}

TEST_F(ExpressionTest, Functions)
{
    EXPECT_EQ(value("UPPER(URL:Description)", news), "DAILY NEWS");
    EXPECT_EQ(value("LOWER('ÉCOLE')", news), "école");
    EXPECT_EQ(value("SUB(URL:Location, 8, 4)", news), "news");
    EXPECT_EQ(value("SUB('abc', 2, 10)", news), "bc");
    EXPECT_EQ(value("SUB('abc', 5, 1)", news), "");
    EXPECT_EQ(value("SUB('abcdef', -2, 2)", news), "ef") << "a negative start counts from the end";
    EXPECT_EQ(value("SUB('naïve', 3, 2)", news), "ïv");
    EXPECT_EQ(value("INSTRING('news', URL:Location, 1, 1)", news), "8");
    EXPECT_EQ(value("INSTRING('z', URL:Location, 1, 1)", news), "0");
    EXPECT_EQ(value("INSTRING('e', URL:Location, 1, 11)", news), "13") << "search from start";
    EXPECT_EQ(value("INSTRING('ab', 'xxabab', 2, 1)", news), "3") << "tries 1, 3, 5";
    EXPECT_EQ(value("INSTRING('ab', 'xabab', 2, 1)", news), "0");
    EXPECT_EQ(value("INSTRING('ö', 'Dösseldörf', 1, 3)", news), "8") << "characters, not bytes";
    EXPECT_EQ(value("FORMAT(URL:Rating, @N2)", news), "7");
    EXPECT_EQ(value("FORMAT(1234567, '@n-14')", news), "1,234,567");
    EXPECT_EQ(value("FORMAT(URL:LastVisit, @d4)", news), "August 23, 1992");
    EXPECT_TRUE(matches("INSTRING('NEWS', UPPER(URL:Description), 1, 1) > 0", news));
    EXPECT_TRUE(matches("SUB(UPPER(URL:Location), 1, 11) = 'HTTP://NEWS'", news));
    EXPECT_TRUE(matches("upper(URL:Category) = 'NEWS'", news));
    EXPECT_EQ(value("'it''s'", news), "it's");
}

TEST_F(ExpressionTest, ReservedCategoriesAreHiddenByTheirLowerCaseNames)
{
    const std::string hide = "LOWER(CAT:Category) <> '_before all' AND "
                             "LOWER(CAT:Category) <> '_after all'";
    Row row = news;
    for (const auto& [name, shown] : std::vector<std::pair<std::string, bool>>{
             {"_Before All", false}, {"_AFTER ALL", false}, {"News", true}, {"_Before", true}}) {
        row.catCategory = name;
        EXPECT_EQ(matches(hide, row), shown) << name;
    }
}

TEST_F(ExpressionTest, MalformedExpressionsGiveAClearErrorNeverACrash)
{
    EXPECT_EQ(errorOf("URL:Nothing = 1"),
              "Invalid filter: unknown field URL:Nothing at character 1");
    EXPECT_EQ(errorOf("URL:Rating = "), "Invalid filter: a value expected instead of end of the "
                                        "expression at character 14");
    EXPECT_EQ(errorOf("URL:Category = 'News"),
              "Invalid filter: a text constant is not closed with a quote at character 16");
    EXPECT_EQ(errorOf("(URL:Rating = 1"),
              "Invalid filter: \")\" expected instead of end of the expression at character 16");
    EXPECT_EQ(errorOf("URL:Rating = 1)"), "Invalid filter: unexpected \")\" at character 15");
    EXPECT_EQ(errorOf("SUB(URL:Location, 1)"),
              "Invalid filter: SUB takes 3 arguments at character 20");
    EXPECT_EQ(errorOf("FOO(1)"), "Invalid filter: unknown name FOO at character 1");
    EXPECT_EQ(errorOf("URL:Rating # 2"), "Invalid filter: unexpected \"#\" at character 12");
    EXPECT_EQ(errorOf("URL:Rating = 1.2.3"),
              "Invalid filter: \"1.2.3\" is not a number at character 14");
    EXPECT_EQ(errorOf("FORMAT(1, @q9)"),
              "Invalid filter: \"@q9\" is not a picture at character 11");
    EXPECT_EQ(errorOf("é = 1"), "Invalid filter: unexpected \"é\" at character 1");
    EXPECT_EQ(errorOf(std::string(5000, '(')),
              "Invalid filter: the expression is nested too deeply at character 101");
}

TEST_F(ExpressionTest, LongFlatQueriesEvaluateAndDeepOnesAreRefused)
{
    // Tens of thousands of terms in a row are no deeper than two.
    std::string allAnd = "URL:Rating = 7";
    std::string anyOr = "URL:Rating = 1";
    for (int i = 0; i < 30000; ++i) {
        allAnd += " AND 1";
        anyOr += " OR URL:Rating = 1";
    }
    anyOr += " OR URL:Category = 'News'";
    EXPECT_TRUE(matches(allAnd, news));
    EXPECT_FALSE(matches(allAnd + " AND 0", news));
    EXPECT_TRUE(matches(anyOr, news));
    EXPECT_TRUE(matches("(URL:Rating = 1 OR URL:Rating = 2) OR (0 OR URL:Rating = 7)", news));
    // A row of comparisons nests: too long a row is a clear error, not a crash.
    std::string compared = "1";
    for (int i = 0; i < 30000; ++i) {
        compared += " = 1";
    }
    EXPECT_EQ(errorOf(compared).rfind("Invalid filter: the expression is nested too deeply", 0), 0U)
        << errorOf(compared);
    std::string negated(30000, '-');
    EXPECT_EQ(
        errorOf(negated + "1").rfind("Invalid filter: the expression is nested too deeply", 0), 0U);
}

TEST_F(ExpressionTest, SortOrdersWithDescendingTerms)
{
    const SortOrder order =
        SortOrder::compile("-URL:Rating,UPPER(URL:Description),UPPER(URL:Location)", resolver);
    ASSERT_TRUE(order.ok());
    ASSERT_EQ(order.terms().size(), 3U);
    EXPECT_TRUE(order.terms()[0].descending);
    EXPECT_FALSE(order.terms()[1].descending);

    std::vector<Row> rows = {{"http://b/", "beta", "X", 5},
                             {"http://a/", "Alpha", "X", 5},
                             {"http://z/", "zulu", "X", 9},
                             {"http://c/", "alpha", "X", 5},
                             {"http://n/", "none", "X", 0}};
    std::sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        return order.compare(order.key(a), order.key(b)) < 0;
    });
    std::vector<std::string> locations;
    for (const Row& row : rows) {
        locations.push_back(row.location);
    }
    EXPECT_EQ(locations, (std::vector<std::string>{"http://z/", "http://a/", "http://c/",
                                                   "http://b/", "http://n/"}));
}

TEST_F(ExpressionTest, SortOrderErrorsPointIntoTheWholeText)
{
    const SortOrder bad = SortOrder::compile("URL:Rating, -URL:Nope", resolver);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().describe(), "Invalid filter: unknown field URL:Nope at character 14");
    EXPECT_FALSE(SortOrder::compile("URL:Rating,,URL:Location", resolver).ok());
    EXPECT_TRUE(SortOrder::compile("SUB(URL:Location, 1, 3), 'a,b'", resolver).ok())
        << "commas inside calls and quotes do not split";
    EXPECT_TRUE(SortOrder::compile("", resolver).terms().empty());
}

} // namespace
} // namespace tessaly

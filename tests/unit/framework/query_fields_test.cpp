#include "framework/query_fields.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

TEST(QueryFields, RecordsOfTenItemsWithTheirSeparators)
{
    const std::vector<QueryField> fields = {
        {"Rating", "URL:Rating", "@N2", 2, FieldType::Number, ""},
        {"Validated", "URL:Validated", "@n3", 1, FieldType::Choice, "Unknown|Passed|Failed"},
    };
    const std::string list = buildQueryFieldList(fields);
    EXPECT_EQ(list, "Rating\xA6"
                    "0\xA6URL:Rating\xA6@N2\xA6"
                    "2\xA6"
                    "2\xA6"
                    "1\xA6\xA6\xA6"
                    "\xAB"
                    "Validated\xA6"
                    "0\xA6URL:Validated\xA6@n3\xA6"
                    "1\xA6"
                    "3\xA6"
                    "3\xA6\xA6Unknown|Passed|Failed\xA6");
    EXPECT_EQ(parseQueryFieldList(list), fields);
}

TEST(QueryFields, ParsingSkipsBrokenRecords)
{
    EXPECT_TRUE(parseQueryFieldList("").empty());
    EXPECT_TRUE(parseQueryFieldList("just text").empty());
    const std::string unknownType = "A\xA6"
                                    "0\xA6X:A\xA6@s1\xA6"
                                    "1\xA6"
                                    "9\xA6"
                                    "1\xA6\xA6\xA6";
    EXPECT_TRUE(parseQueryFieldList(unknownType).empty());
}

TEST(QueryFields, EditorTexts)
{
    EXPECT_EQ(queryEditorText(1), "Is Equal To");
    EXPECT_EQ(queryEditorText(10), "Does NOT Contain");
    EXPECT_EQ(queryEditorText(12), "Is NOT Checked");
    EXPECT_EQ(queryEditorText(303), "Custom Query...");
    EXPECT_EQ(queryEditorText(13), "");
}

} // namespace
} // namespace tessaly

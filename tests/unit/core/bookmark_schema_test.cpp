#include "core/bookmark_schema.h"

#include "framework/query_fields.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

TEST(BookmarkSchema, TwentyFieldsInStorageOrder)
{
    const RecordSchema& schema = bookmarkSchema();
    ASSERT_EQ(schema.fields().size(), 20U);
    EXPECT_EQ(schema.prefix(), "URL");
    EXPECT_EQ(schema.indexOf("url:location"), static_cast<int>(BookmarkField::Location));
    EXPECT_EQ(schema.indexOf("URL:Custom3"), static_cast<int>(BookmarkField::Custom3));
    EXPECT_EQ(schema.indexOf("URL:Expires"), static_cast<int>(BookmarkField::Expires));
    EXPECT_EQ(schema.indexOf("CAT:Category"), -1);
}

TEST(BookmarkSchema, QueryFieldListCarriesDescriptionsPicturesAndSizes)
{
    const std::vector<QueryField> fields = parseQueryFieldList(bookmarkQueryFieldList());
    ASSERT_EQ(fields.size(), 20U);
    EXPECT_EQ(fields[3], (QueryField{"Rating", "URL:Rating", "@N2", 2, FieldType::Number, ""}));
    EXPECT_EQ(fields[0].description, "Location (URL)");
    EXPECT_EQ(fields[0].size, 65536) << "an address is kept whole";
    EXPECT_EQ(fields[0].picture, "@s255");
    EXPECT_EQ(fields[5].label, "URL:SiteInfo");
    EXPECT_EQ(fields[5].picture, "@s255") << "shown narrower than the 2048 characters it keeps";
    EXPECT_EQ(fields[8].description, "Validated 0=Unknown, 1=Pass, 2=Fail");
    EXPECT_EQ(fields[8].type, FieldType::Choice);
    EXPECT_EQ(fields[8].choices, "Unknown|Passed|Failed");
    EXPECT_EQ(fields[13].picture, "@d17b");
    EXPECT_EQ(fields[14].picture, "@n-14");
    EXPECT_EQ(fields[16].description, "Original file name this URL was loaded from");
}

} // namespace
} // namespace tessaly

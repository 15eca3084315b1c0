#include "core/bookmark_schema.h"

#include "framework/picture.h"
#include "framework/query_fields.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <array>

namespace tessaly {

namespace {

constexpr std::array<FieldDef, 20> kBookmarkFields = {{
    {"URL:Location", "Location (URL)", "@s255", kAddressWidth, FieldType::Text, {}, true},
    {"URL:Description", "Description of site", "@s255", 255, FieldType::Text},
    {"URL:Category", "Category", "@s50", 50, FieldType::Text},
    {"URL:Rating", "Rating", "@N2", 2, FieldType::Number},
    {"URL:Keyword", "Keyword (or alternate category)", "@s20", 20, FieldType::Text},
    {"URL:SiteInfo", "Information about site", "@s255", 2048, FieldType::Text},
    {"URL:LastVisit", "Date of last visit", "@d17", 4, FieldType::Number},
    {"URL:LastValidated", "Date of last validation", "@d17", 4, FieldType::Number},
    {"URL:Validated", "Validated 0=Unknown, 1=Pass, 2=Fail", "@n3", 1, FieldType::Choice,
     "Unknown|Passed|Failed"},
    {"URL:MovedTo",
     "URL this entry has moved to",
     "@s255",
     kAddressWidth,
     FieldType::Text,
     {},
     true},
    {"URL:Comments", "Comments", "@s255", 1024, FieldType::Text},
    {"URL:UserName", "A user name associated with this site", "@s40", 40, FieldType::Text},
    {"URL:Password", "A password associated with this site", "@s20", 20, FieldType::Text},
    {"URL:Expires", "Date page expires according to server", "@d17b", 4, FieldType::Number},
    {"URL:PageSize", "Page size in bytes", "@n-14", 4, FieldType::Number},
    {"URL:EmailAddress", "Associated e-mail address", "@s60", 60, FieldType::Text},
    {"URL:OriginalFilename", "Original file name this URL was loaded from", "@s255", 255,
     FieldType::Text},
    {"URL:Custom1", "Custom information field #1", "@s60", 60, FieldType::Text},
    {"URL:Custom2", "Custom information field #2", "@s60", 60, FieldType::Text},
    {"URL:Custom3", "Custom information field #3", "@s60", 60, FieldType::Text},
}};

constexpr RecordSchema kBookmarkSchema{"URL", kBookmarkFields};

} // namespace

const RecordSchema& bookmarkSchema()
{
    return kBookmarkSchema;
}

std::string bookmarkQueryFieldList()
{
    return buildQueryFieldList(queryFieldsOf(kBookmarkSchema));
}

bool fitsAddress(std::string_view address)
{
    const std::string_view clipped = text::clip(address);
    // Bytes are at least as many as characters: most addresses need no count.
    return clipped.size() <= kAddressWidth || utf8::length(clipped) <= kAddressWidth;
}

std::string addressTooLong()
{
    return "This address has more than " + format(double{kAddressWidth}, "@n13") +
           " characters and cannot be stored whole. It was not stored.";
}

} // namespace tessaly

#include "core/tables.h"

#include <array>

namespace tessaly {

namespace {

// Bookmarks: keys in declaration order.
constexpr std::array<KeyComponent, 1> kLocation = {{{0, false}}};
constexpr std::array<KeyComponent, 1> kDescription = {{{1, false}}};
constexpr std::array<KeyComponent, 2> kCategory = {{{2, false}, {1, false}}};
constexpr std::array<KeyComponent, 2> kCategoryLocation = {{{2, false}, {0, false}}};
constexpr std::array<KeyComponent, 3> kRating = {{{3, true}, {1, false}, {0, false}}};
constexpr std::array<KeyComponent, 3> kKeyword = {{{4, false}, {1, false}, {0, false}}};

constexpr std::array<KeyDef, 6> kBookmarkKeys = {{
    {"K_LOCATION", "Site Location", kLocation, true, true},
    {"K_DESCRIPTION", "Site Description", kDescription, false, true},
    {"K_CATEGORY", "Category", kCategory, false, false},
    {"K_CATEGORYLOCATION", "Category then Location", kCategoryLocation, false, true},
    {"K_RATING", "Rating", kRating, false, false},
    {"K_KEYWORD", "Keyword", kKeyword, false, false},
}};

// Layout 11 keeps addresses whole (up to kAddressWidth); the columns are those
// of layout 10, but a program that still cut them at 255 must not write here.
constexpr TableDef kBookmarks{"TESSLY", "URLDATA", "Locations", {},
                              11,       true,      nullptr,     kBookmarkKeys};

// Categories.
constexpr std::array<FieldDef, 3> kCategoryFields = {{
    {"CAT:Category", "Category", "@s50", 50, FieldType::Text},
    {"CAT:Flag", "Flag", "@n3", 1, FieldType::Number},
    {"CAT:Description", "Description", "@s255", 1000, FieldType::Text},
}};
constexpr RecordSchema kCategorySchema{"CAT", kCategoryFields};
constexpr std::array<KeyComponent, 1> kCategoryName = {{{0, false}}};
constexpr std::array<KeyDef, 1> kCategoryKeys = {{
    {"K_CATEGORY", "Category", kCategoryName, true, true},
}};

// Category HTML.
constexpr std::array<FieldDef, 3> kCatHtmlFields = {{
    {"HTM:Category", "Category", "@s50", 50, FieldType::Text},
    {"HTM:TypeOfHTML", "Type of HTML", "@s30", 30, FieldType::Text},
    {"HTM:HTMLtoAdd", "HTML to add", "@s255", 1000, FieldType::Text},
}};
constexpr RecordSchema kCatHtmlSchema{"HTM", kCatHtmlFields};
constexpr std::array<KeyComponent, 2> kCatHtmlKey = {{{0, false}, {1, false}}};
constexpr std::array<KeyDef, 1> kCatHtmlKeys = {{
    {"KEYCATEGORYHTML", "Category and type", kCatHtmlKey, true, true},
}};

// Keywords and details of one bookmark, numbered within their location.
constexpr std::array<FieldDef, 3> kKeywordFields = {{
    {"UDK:Location", "Location", "@s255", kAddressWidth, FieldType::Text, {}, true},
    {"UDK:Sequence", "Sequence", "@n-14", 4, FieldType::Number},
    {"UDK:Keyword", "Keyword", "@s32", 32, FieldType::Text},
}};
constexpr RecordSchema kKeywordSchema{"UDK", kKeywordFields};
constexpr std::array<FieldDef, 4> kDetailFields = {{
    {"UDT:Location", "Location", "@s255", kAddressWidth, FieldType::Text, {}, true},
    {"UDT:Sequence", "Sequence", "@n-14", 4, FieldType::Number},
    {"UDT:DataLabel", "Label", "@s30", 30, FieldType::Text},
    {"UDT:DataValue", "Value", "@s90", 90, FieldType::Text},
}};
constexpr RecordSchema kDetailSchema{"UDT", kDetailFields};
constexpr std::array<KeyComponent, 2> kLocationSequence = {{{0, false}, {1, false}}};
constexpr std::array<KeyDef, 1> kKeywordKeys = {{
    {"K_LOCATION", "Location", kLocationSequence, true, true, 1},
}};
constexpr std::array<KeyDef, 1> kDetailKeys = {{
    {"K_LOCATION", "Location", kLocationSequence, true, true, 1},
}};

// Configuration: one named setting per record.
constexpr std::array<FieldDef, 2> kConfigurationFields = {{
    {"CF:DataType", "Setting", "@s40", 40, FieldType::Text},
    {"CF:DataValue", "Value", "@s255", 255, FieldType::Text},
}};
constexpr RecordSchema kConfigurationSchema{"CF", kConfigurationFields};
constexpr std::array<KeyDef, 1> kConfigurationKeys = {{
    {"KEYDATATYPE", "Setting", kCategoryName, true, true},
}};

// The earlier version's bookmarks: its keys repeat the bookmark file's on the
// same field numbers.
constexpr std::array<FieldDef, 6> kImportFields = {{
    {"ILoc:Location", "Location", "@s255", kAddressWidth, FieldType::Text, {}, true},
    {"ILoc:Description", "Description", "@s100", 100, FieldType::Text},
    {"ILoc:Category", "Category", "@s30", 30, FieldType::Text},
    {"ILoc:Rating", "Rating", "@N2", 2, FieldType::Number},
    {"ILoc:Keyword", "Keyword", "@s10", 10, FieldType::Text},
    {"ILoc:SiteInfo", "Information about site", "@s255", 1000, FieldType::Text},
}};
constexpr RecordSchema kImportSchema{"ILoc", kImportFields};

TableDef withSchema(TableDef def, const RecordSchema& schema)
{
    def.schema = &schema;
    return def;
}

} // namespace

const TableDef& bookmarkTable()
{
    static const TableDef table = withSchema(kBookmarks, bookmarkSchema());
    return table;
}

const TableDef& categoryTable()
{
    static const TableDef table{"Categories", "URL_C",          "Categories", {}, 2,
                                false,        &kCategorySchema, kCategoryKeys};
    return table;
}

const TableDef& catHtmlTable()
{
    static const TableDef table{"CatHTML", "URL_H", "CatHTML",       {},
                                2,         false,   &kCatHtmlSchema, kCatHtmlKeys};
    return table;
}

const TableDef& keywordTable()
{
    static const TableDef table{"URLKeywords", "URLDATA",       "URLKeywords", {}, 2,
                                true,          &kKeywordSchema, kKeywordKeys};
    return table;
}

const TableDef& detailTable()
{
    static const TableDef table{"URLDetails", "URLDATA",      "URLDetails", {}, 2,
                                true,         &kDetailSchema, kDetailKeys};
    return table;
}

const TableDef& configurationTable()
{
    static const TableDef table{
        "Configuration",       "URLDATA",         "Configuration", "Configuration", 2, true,
        &kConfigurationSchema, kConfigurationKeys};
    return table;
}

const TableDef& importTable()
{
    static const TableDef table{"ImportTESSLY", {},           "ImportTESSLY", {}, 0, false,
                                &kImportSchema, kBookmarkKeys};
    return table;
}

} // namespace tessaly

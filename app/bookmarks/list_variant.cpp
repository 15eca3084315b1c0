#include "bookmarks/list_variant.h"

#include "core/tables.h"
#include "framework/query_fields.h"

namespace tessaly::gui {

namespace {

int f(BookmarkField field)
{
    return static_cast<int>(field);
}

// The main list's columns 2 to 14: description to custom 3.
std::vector<ListColumn> bookmarkColumns(const QString& keywordHeading)
{
    return {
        {QStringLiteral("Description"), "@S100", f(BookmarkField::Description)},
        {QStringLiteral("Location"), "@S255", f(BookmarkField::Location)},
        {QStringLiteral("Category"), "@S50", f(BookmarkField::Category)},
        {QStringLiteral("Rating"), "@N2b", f(BookmarkField::Rating)},
        {keywordHeading, "@s20", f(BookmarkField::Keyword)},
        {QStringLiteral("Last Visit"), "@d17", f(BookmarkField::LastVisit)},
        {QStringLiteral("Last Validated"), "@d17", f(BookmarkField::LastValidated)},
        {QStringLiteral("Comments"), "@s255", f(BookmarkField::Comments)},
        {QStringLiteral("User Name"), "@s40", f(BookmarkField::UserName)},
        {QStringLiteral("Password"), "@s20", f(BookmarkField::Password)},
        {QStringLiteral("Custom 1"), "@s60", f(BookmarkField::Custom1)},
        {QStringLiteral("Custom 2"), "@s60", f(BookmarkField::Custom2)},
        {QStringLiteral("Custom 3"), "@s60", f(BookmarkField::Custom3)},
    };
}

ListColumn iconColumn()
{
    return {QString{}, "", f(BookmarkField::Validated), true, true};
}

std::vector<std::pair<QString, int>> bookmarkTabs()
{
    return {
        {QStringLiteral("Description"), static_cast<int>(BookmarkKey::Description)},
        {QStringLiteral("Location"), static_cast<int>(BookmarkKey::Location)},
        {QStringLiteral("Category"), static_cast<int>(BookmarkKey::Category)},
        {QStringLiteral("Rating"), static_cast<int>(BookmarkKey::Rating)},
        {QStringLiteral("Keyword"), static_cast<int>(BookmarkKey::Keyword)},
    };
}

std::string fieldList(const std::vector<QueryField>& fields)
{
    return buildQueryFieldList(fields);
}

// A list of the keyword or detail rows, by location, each row followed by
// its bookmark's columns; `rowColumns` come after the icon.
ListVariant relationListVariant(const QString& name, const QString& title,
                                ListVariant::Source source, std::vector<ListColumn> rowColumns)
{
    ListVariant v;
    v.name = name;
    v.title = title;
    v.titleWithCount = false;
    v.source = source;
    // Only the two tabs these lists have always shown; neither re-sorts.
    v.tabs = {bookmarkTabs()[0], bookmarkTabs()[2]};
    v.tabsOrder = false;
    v.fixedKey = 0; // the location key of the keyword and detail files
    v.columns = {iconColumn()};
    for (ListColumn& column : rowColumns) {
        v.columns.push_back(std::move(column));
    }
    for (ListColumn& column : bookmarkColumns(QStringLiteral("Primary Keyword"))) {
        v.columns.push_back(std::move(column));
    }
    return v;
}

} // namespace

ListVariant bookmarkListVariant()
{
    ListVariant v;
    v.name = QStringLiteral("BrowseTESSLY");
    v.title = QStringLiteral("Browse Locations");
    v.tabs = bookmarkTabs();
    v.columns.push_back(iconColumn());
    for (ListColumn& column : bookmarkColumns(QStringLiteral("Keyword"))) {
        v.columns.push_back(std::move(column));
    }
    v.columns.push_back({QStringLiteral("Site Info"), "@s255", f(BookmarkField::SiteInfo)});
    v.queryTag = std::string{kQueryTagBookmarks};
    v.queryFieldList = bookmarkQueryFieldList();
    return v;
}

ListVariant keywordListVariant()
{
    ListVariant v = relationListVariant(
        QStringLiteral("BrowseURLKeywords"), QStringLiteral("Keywords and Locations"),
        ListVariant::Source::Keywords,
        {{QStringLiteral("Keyword"), "@s32", static_cast<int>(KeywordField::Keyword), false}});
    v.queryTag = "KEYWORDS";
    v.queryFieldList = fieldList(
        {{"UDK:Location (URL)", "UDK:Location", "@s255", kAddressWidth, FieldType::Text, ""},
         {"UDK:Keyword", "UDK:Keyword", "@s32", 32, FieldType::Text, ""}});
    return v;
}

ListVariant detailListVariant()
{
    ListVariant v = relationListVariant(
        QStringLiteral("BrowseURLDetails"), QStringLiteral("Details and Locations"),
        ListVariant::Source::Details,
        {{QStringLiteral("Label"), "@s30", static_cast<int>(DetailField::DataLabel), false},
         {QStringLiteral("Value"), "@s90", static_cast<int>(DetailField::DataValue), false}});
    v.queryTag = "DETAILS";
    v.queryFieldList = fieldList(
        {{"UDT:Location (URL)", "UDT:Location", "@s255", kAddressWidth, FieldType::Text, ""},
         {"UDT:Label", "UDT:DataLabel", "@s30", 30, FieldType::Text, ""},
         {"UDT:Value", "UDT:DataValue", "@s90", 90, FieldType::Text, ""}});
    return v;
}

ListVariant categoryListVariant(const std::string& category)
{
    ListVariant v;
    v.name = QStringLiteral("BrowseURL:K_Category");
    v.title = QStringLiteral("Browse Locations by Category");
    v.tabsOrder = false;
    v.fixedKey = static_cast<int>(BookmarkKey::Category);
    v.columns = {
        {QStringLiteral("Location"), "@S60", f(BookmarkField::Location)},
        {QStringLiteral("Description"), "@S60", f(BookmarkField::Description)},
        {QStringLiteral("Rating"), "@N2", f(BookmarkField::Rating)},
        {QStringLiteral("Keyword"), "@s20", f(BookmarkField::Keyword)},
        {QStringLiteral("Category"), "@S50", f(BookmarkField::Category)},
    };
    v.fullControls = false;
    v.category = category;
    v.savesLayout = false;
    return v;
}

} // namespace tessaly::gui

namespace tessaly::gui {

ListVariant explorerListVariant()
{
    ListVariant v;
    v.name = QStringLiteral("BrowseCategoriesAndURL");
    v.title = QStringLiteral("Browse Locations by Category");
    v.titleWithCount = false;
    v.tabsOrder = false;
    v.fixedKey = static_cast<int>(BookmarkKey::Category);
    v.columns = {
        iconColumn(),
        {QStringLiteral("Description"), "@S100", f(BookmarkField::Description)},
        {QStringLiteral("Location"), "@S255", f(BookmarkField::Location)},
        {QStringLiteral("Rating"), "@N2b", f(BookmarkField::Rating)},
        {QStringLiteral("Keyword"), "@s20", f(BookmarkField::Keyword)},
        {QStringLiteral("Last Validated"), "@d17", f(BookmarkField::LastValidated)},
        {QStringLiteral("Last Visit"), "@d17", f(BookmarkField::LastVisit)},
        {QStringLiteral("Comments"), "@s255", f(BookmarkField::Comments)},
        {QStringLiteral("User Name"), "@s40", f(BookmarkField::UserName)},
        {QStringLiteral("Password"), "@s20", f(BookmarkField::Password)},
        {QStringLiteral("Custom 1"), "@s60", f(BookmarkField::Custom1)},
        {QStringLiteral("Custom 2"), "@s60", f(BookmarkField::Custom2)},
        {QStringLiteral("Custom 3"), "@s60", f(BookmarkField::Custom3)},
        {QStringLiteral("Site Info"), "@s255", f(BookmarkField::SiteInfo)},
    };
    v.queryTag = std::string{kQueryTagBookmarks};
    v.queryFieldList = bookmarkQueryFieldList();
    v.locateBox = true;
    v.categoryRequired = true;
    return v;
}

} // namespace tessaly::gui

#include "reports/report_definition.h"

#include "core/tables.h"
#include "framework/text.h"

#include <array>

namespace tessaly {

namespace {

using F = BookmarkField;

constexpr int field(F f)
{
    return static_cast<int>(f);
}

constexpr std::array<ReportColumn, 5> kBookmarkColumns = {{
    {"Location", field(F::Location), 36, Overflow::Wrap},
    {"Description", field(F::Description), 32, Overflow::Wrap},
    {"Category", field(F::Category), 18, Overflow::Wrap},
    {"Rating", field(F::Rating), 6, Overflow::Elide, true},
    {"Keyword", field(F::Keyword), 14, Overflow::Elide},
}};

constexpr std::array<ReportColumn, 2> kCategoryColumns = {{
    {"Category", static_cast<int>(CategoryField::Category), 30, Overflow::Wrap},
    {"Description", static_cast<int>(CategoryField::Description), 70, Overflow::Wrap},
}};

constexpr std::array<ReportColumn, 20> kDesignColumns = {{
    {"Location", field(F::Location), 36, Overflow::Wrap},
    {"Description", field(F::Description), 30, Overflow::Wrap},
    {"Site Info", field(F::SiteInfo), 40, Overflow::Wrap},
    {"Category", field(F::Category), 18, Overflow::Wrap},
    {"Rating", field(F::Rating), 6, Overflow::Elide, true},
    {"Keyword", field(F::Keyword), 14, Overflow::Elide},
    {"Last Visit", field(F::LastVisit), 11, Overflow::Elide},
    {"Comments", field(F::Comments), 30, Overflow::Wrap},
    {"User Name", field(F::UserName), 14, Overflow::Elide},
    {"Password", field(F::Password), 12, Overflow::Elide},
    {"Custom 1", field(F::Custom1), 14, Overflow::Elide},
    {"Custom 2", field(F::Custom2), 14, Overflow::Elide},
    {"Custom 3", field(F::Custom3), 14, Overflow::Elide},
    {"Validated", field(F::Validated), 9, Overflow::Elide},
    {"Last Validated", field(F::LastValidated), 11, Overflow::Elide},
    {"Moved To", field(F::MovedTo), 30, Overflow::Wrap},
    {"Expires", field(F::Expires), 11, Overflow::Elide},
    {"Page Size", field(F::PageSize), 10, Overflow::Elide, true},
    {"Email Address", field(F::EmailAddress), 20, Overflow::Elide},
    {"Original Filename", field(F::OriginalFilename), 24, Overflow::Wrap},
}};

constexpr std::array<ReportOrder, 6> kDesignOrders = {{
    {"Site Location", "UPPER(URL:Location)"},
    {"Site Description", "UPPER(URL:Description)"},
    {"Category", "UPPER(URL:Category),UPPER(URL:Description)"},
    {"Category then Location", "UPPER(URL:Category),UPPER(URL:Location)"},
    {"Rating", "-URL:Rating,UPPER(URL:Description),UPPER(URL:Location)"},
    {"Keyword", "UPPER(URL:Keyword),UPPER(URL:Description),UPPER(URL:Location)"},
}};

// What fits across a portrait page in the report's type; wider designs
// turn the page.
constexpr int kPortraitCharacters = 112;

ReportDefinition bookmarkReport(std::string title, BookmarkKey key)
{
    return {std::move(title),
            &bookmarkTable(),
            static_cast<int>(key),
            {},
            {kBookmarkColumns.begin(), kBookmarkColumns.end()}};
}

const std::array<ReportDefinition, 6>& fixed()
{
    static const std::array<ReportDefinition, 6> reports = {
        bookmarkReport("URLs by Location", BookmarkKey::Location),
        bookmarkReport("URLs by Description", BookmarkKey::Description),
        bookmarkReport("URLs by Category", BookmarkKey::Category),
        bookmarkReport("URLs by Rating", BookmarkKey::Rating),
        bookmarkReport("URLs by Keyword", BookmarkKey::Keyword),
        ReportDefinition{"Categories",
                         &categoryTable(),
                         0,
                         {},
                         {kCategoryColumns.begin(), kCategoryColumns.end()}},
    };
    return reports;
}

} // namespace

std::span<const ReportDefinition> fixedReports()
{
    return fixed();
}

const ReportDefinition* findFixedReport(std::string_view title)
{
    for (const ReportDefinition& report : fixed()) {
        if (text::equalNoCase(report.title, text::trim(title))) {
            return &report;
        }
    }
    return nullptr;
}

std::span<const ReportColumn> designColumns()
{
    return kDesignColumns;
}

std::span<const ReportOrder> designOrders()
{
    return kDesignOrders;
}

std::optional<ReportDefinition> designedReport(const std::vector<std::string>& columns,
                                               std::string_view order, std::string& problem)
{
    ReportDefinition report;
    report.title = std::string{kDesignedReportTitle};
    report.table = &bookmarkTable();
    for (const ReportOrder& offered : kDesignOrders) {
        if (text::equalNoCase(offered.name, text::trim(order))) {
            report.sortExpression = std::string{offered.sortExpression};
        }
    }
    if (report.sortExpression.empty()) {
        problem = "unknown order " + std::string{order};
        return std::nullopt;
    }
    int width = 0;
    for (const std::string& name : columns) {
        const ReportColumn* found = nullptr;
        for (const ReportColumn& column : kDesignColumns) {
            if (text::equalNoCase(column.header, text::trim(name))) {
                found = &column;
            }
        }
        if (found == nullptr) {
            problem = "unknown column " + name;
            return std::nullopt;
        }
        report.columns.push_back(*found);
        width += found->width + 1;
    }
    if (report.columns.empty()) {
        problem = "choose at least one column";
        return std::nullopt;
    }
    report.landscape = width > kPortraitCharacters;
    return report;
}

bool printsPasswords(const ReportDefinition& report)
{
    for (const ReportColumn& column : report.columns) {
        if (report.table == &bookmarkTable() && column.field == field(F::Password)) {
            return true;
        }
    }
    return false;
}

} // namespace tessaly

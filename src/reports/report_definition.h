#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

struct TableDef;

// How a column shows text that does not fit its width: wrapped onto more
// lines of the same row, or cut with "…" on one line; numbers and dates
// run on whole over as many lines as they take.
enum class Overflow { Wrap, Elide, Whole };

// One column of a report: its header, the field it shows (a field number of
// the report's file), how wide it would like to be in characters, and how
// it treats long text.
struct ReportColumn {
    std::string_view header;
    int field = 0;
    int width = 10;
    Overflow overflow = Overflow::Elide;
    bool alignRight = false;
};

// What a report reads and prints: its title, its file, the order it reads
// in (a key of the file, or a sort expression over it for a designed
// report) and its columns.
struct ReportDefinition {
    std::string title;
    const TableDef* table = nullptr;
    int key = 0;
    std::string sortExpression; // empty: the key's order
    std::vector<ReportColumn> columns;
    bool landscape = false;
};

// The six fixed reports, "URLs by Location" to "Categories".
std::span<const ReportDefinition> fixedReports();
// A fixed report by its title, letter case and trailing blanks ignored.
const ReportDefinition* findFixedReport(std::string_view title);

// The designed report "Internet Locations (URLs)": the columns and orders
// its design dialog offers.
inline constexpr std::string_view kDesignedReportTitle = "Internet Locations (URLs)";

struct ReportOrder {
    std::string_view name;
    std::string_view sortExpression;
};

std::span<const ReportColumn> designColumns();
std::span<const ReportOrder> designOrders();

// The designed report of the chosen columns (headers from designColumns(),
// any letter case) in the chosen order; nullopt with `problem` set when a
// header or the order is none of those offered, or no column is chosen.
std::optional<ReportDefinition> designedReport(const std::vector<std::string>& columns,
                                               std::string_view order, std::string& problem);

// True when the report prints the sites' passwords.
bool printsPasswords(const ReportDefinition& report);

} // namespace tessaly

#pragma once

#include "reports/report_definition.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QHeaderView;
class QPrinter;
class QWidget;

namespace tessaly {
class Database;
class UiPort;
} // namespace tessaly

namespace tessaly::gui {

// The printer the reports print on when a window other than the frame
// starts them (a list's "&Print"): the frame's "Print Setup" printer once
// the frame has set it, else one of the system's default.
void setReportPrinter(QPrinter* printer);
QPrinter& reportPrinter();

// Runs a report the way its menu item does: the query and preview
// questions, the file read with the progress window, then the pages in the
// print preview (Yes) or on `printer`, the frame's "Print Setup" printer
// (No). The preview can print them or save them as PDF. A `query` given
// (a list's own filter; empty for none) is used without asking. With
// `positions` the report prints those records in that order (a list as it
// is shown) instead of reading its file.
void printReport(Database& database, UiPort& ui, const ReportDefinition& report, QPrinter& printer,
                 QWidget* parent, std::optional<std::string> query = std::nullopt,
                 std::optional<std::vector<std::int64_t>> positions = std::nullopt);

// A category list's "Print List...": the "Categories" report of every
// category with the columns `header` shows, without the query question.
void printCategoryList(Database& database, UiPort& ui, const QHeaderView& header, QWidget* parent);

// The designed report: the design dialog first, then as printReport();
// nothing when the dialog is cancelled.
void printDesignedReport(Database& database, UiPort& ui, QPrinter& printer, QWidget* parent);

} // namespace tessaly::gui

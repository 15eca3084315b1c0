#pragma once

#include "reports/report_definition.h"
#include "reports/report_layout.h"
#include "reports/report_progress.h"
#include "reports/report_spool.h"
#include "reports/report_strings.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tessaly {

class Database;
class UiPort;

struct ReportRequest {
    const ReportDefinition* report = nullptr;
    // The filter when it is already known (the command line's); without
    // one the user is asked whether to apply a query.
    std::optional<std::string> query;
    // The preview question is asked; without it the pages are printed.
    bool askPreview = true;
    // The INI file of the display strings ("WIN.INI" when empty).
    std::string iniName{kReportIniName};
    LayoutSetup layout;
    // The progress window; null for the UI port's own.
    ReportProgress* progress = nullptr;
    // The records to print, by stored position in the order given (a list
    // printed as it is shown); the report's key, sort and filter then play
    // no part. Without them the report reads its file.
    std::optional<std::vector<std::int64_t>> positions;
};

struct ReportRun {
    bool ended = false;     // Cancel at a question: nothing to hand on
    bool preview = false;   // the user chose to preview rather than print
    bool cancelled = false; // stopped while reading
    bool failed = false;    // the pages could not be made whole (the user was told)
    // Pages to hand to the previewer or the printer. False for an empty
    // result (the user was told NothingToPrvw or NothingToPrnt), and for a
    // cancelled preview the user chose not to see.
    bool output = false;
    std::int64_t printed = 0;
    std::unique_ptr<ReportSpool> pages;
    std::string message; // what went wrong, when something did
    ReportStrings strings;
};

// Runs a report the way its menu item does: the query question ("Query
// Wizard", tag "URL"), the preview question, then the file read in the
// report's order under the filter with the progress window (polled for
// Cancel every 25 records; Cancel asks whether the user is sure), one detail row per record laid
// out into the pages. Read errors are told as "Record Retrieval Error" and end the reading as its
// end would; a filter or order that cannot be set is told as "View Open Error" and the report goes
// on without it. The file is opened (and closed again) by the report when it is not open already.
ReportRun runReport(Database& database, UiPort& ui, const ReportRequest& request);

} // namespace tessaly

#include "reports/report_run.h"

#include "core/bookmark_schema.h"
#include "core/database.h"
#include "core/tables.h"
#include "core/warnings.h"
#include "framework/expression.h"
#include "framework/ui_port.h"
#include "reports/sorted_positions.h"

#include <algorithm>

namespace tessaly {

namespace {

constexpr std::int64_t kRecordsPerPass = 25;
constexpr std::string_view kQueryTitle = "Query Wizard";
constexpr std::string_view kQueryQuestion = "Would you like to apply a query to this report?";
constexpr std::string_view kDesignedQueryQuestion =
    "Would you like to apply a query to this report (answer No to print all records)?";
constexpr int kWarnRetrieval = 35;
constexpr int kWarnViewOpen = 36;

// The reading of one report: progress, Cancel and the rows laid out.
class Reading {
public:
    Reading(UiPort& ui, ReportProgress& progress, ReportRun& run, RecordFile& file,
            Warnings& warnings)
        : ui_(ui), progress_(progress), run_(run), file_(file), warnings_(warnings),
          total_(std::max<std::int64_t>(file.records(), 1))
    {}

    // Counts one record read, `done` of `outOf`; `share` of 100 is this
    // phase's part of the bar, after `base`. False when the user stopped
    // the report.
    bool step(std::int64_t done, int base = 0, int share = 100, std::int64_t outOf = 0)
    {
        const std::int64_t whole = outOf > 0 ? outOf : total_;
        const auto percent =
            static_cast<int>(std::min<std::int64_t>(base + done * share / whole, 100));
        ++read_;
        if (percent != percent_) {
            percent_ = percent;
            progress_.update(percent, read_);
        }
        if (read_ % kRecordsPerPass != 0 || !progress_.stopRequested()) {
            return true;
        }
        const ReportStrings& s = run_.strings;
        if (ui_.showMessage({s.cancelSureTitle, s.cancelSureText, MessageIcon::Question,
                             ButtonYes | ButtonNo, ButtonNo}) == ButtonYes) {
            run_.cancelled = true;
            return false;
        }
        progress_.resume();
        return true;
    }

    // A read that failed for another reason than the end of the file.
    void checkEnd(const EngineStatus& status)
    {
        if (!status.ok() && status.code != kNoMoreRecords && status.code != kRecordNotFound) {
            warnings_.setEngineError(status);
            warnings_.warn(kWarnRetrieval, file_.table().label);
            run_.message = "Reading stopped: " + status.text;
        }
    }

    void byKey(int key, ReportLayout& layout)
    {
        Record record{file_.table()};
        if (const EngineStatus status = file_.set(key); !status.ok()) {
            viewError(status);
            file_.setRecordOrder();
        }
        EngineStatus status;
        while ((status = file_.next(record)).ok()) {
            layout.row(record);
            if (!step(layout.rows())) {
                return;
            }
        }
        checkEnd(status);
    }

    // A designed report's order: the file read once to sort its positions,
    // then record by record in that order.
    void sorted(const SortOrder& order, ReportLayout& layout)
    {
        SortedPositions positions{order};
        Record record{file_.table()};
        file_.setRecordOrder();
        EngineStatus status;
        std::int64_t read = 0;
        while ((status = file_.next(record)).ok()) {
            positions.add(record, record.position);
            if (!step(++read, 0, 50)) {
                return;
            }
        }
        checkEnd(status);
        positions.finish();
        std::int64_t position = 0;
        while (positions.next(position)) {
            // A record deleted meanwhile is passed over.
            if (file_.getAt(position, record).ok()) {
                layout.row(record);
            }
            if (!step(layout.rows(), 50, 50, std::max<std::int64_t>(positions.size(), 1))) {
                return;
            }
        }
        // Rows lost with a run of the sort must not pass for the whole report.
        if (!positions.error().empty()) {
            run_.message = positions.error();
            run_.failed = true;
        }
    }

    // The rows a list shows, in its order: a record deleted meanwhile is
    // passed over.
    void atPositions(const std::vector<std::int64_t>& positions, ReportLayout& layout)
    {
        Record record{file_.table()};
        const auto total = std::max<std::int64_t>(static_cast<std::int64_t>(positions.size()), 1);
        for (const std::int64_t position : positions) {
            if (file_.getAt(position, record).ok()) {
                layout.row(record);
            }
            if (!step(layout.rows(), 0, 100, total)) {
                return;
            }
        }
    }

    void viewError(const EngineStatus& status)
    {
        warnings_.setEngineError(status);
        warnings_.warn(kWarnViewOpen);
    }

private:
    UiPort& ui_;
    ReportProgress& progress_;
    ReportRun& run_;
    RecordFile& file_;
    Warnings& warnings_;
    std::int64_t total_;
    int percent_ = -1;
    std::int64_t read_ = 0; // records read in every phase
};

FileManager& managerOf(Database& database, const TableDef& table)
{
    return &table == &categoryTable() ? database.categories() : database.bookmarks();
}

EngineStatus expressionError(const ExpressionError& error)
{
    EngineStatus status;
    status.code = kInvalidExpressionError;
    status.text = error.describe();
    return status;
}

// The user's filter, or none after "View Open Error" when it is not one.
std::shared_ptr<const Expression> compileFilter(const std::string& source, const TableDef& table,
                                                Warnings& warnings)
{
    auto filter =
        std::make_shared<Expression>(Expression::compile(source, SchemaResolver{*table.schema}));
    if (!filter->ok()) {
        warnings.setEngineError(expressionError(filter->error()));
        warnings.warn(kWarnViewOpen);
        return nullptr;
    }
    return filter->empty() ? nullptr : filter;
}

bool askQuestions(UiPort& ui, const ReportRequest& request, ReportRun& run, std::string& filter)
{
    const ReportDefinition& report = *request.report;
    if (request.query) {
        filter = *request.query;
    } else {
        const bool designed = !report.sortExpression.empty();
        if (ui.showMessage({std::string{kQueryTitle},
                            std::string{designed ? kDesignedQueryQuestion : kQueryQuestion},
                            MessageIcon::Question, ButtonYes | ButtonNo, ButtonYes}) == ButtonYes) {
            ui.runQuery({bookmarkQueryFieldList(), "URL"}, filter);
        }
    }
    if (!request.askPreview) {
        return true;
    }
    const ReportStrings& s = run.strings;
    const Button answer =
        ui.showMessage({s.askPreviewTitle, s.askPreviewText, MessageIcon::Question,
                        ButtonYes | ButtonNo | ButtonCancel, ButtonYes});
    run.preview = answer == ButtonYes;
    return answer != ButtonCancel;
}

} // namespace

ReportRun runReport(Database& database, UiPort& ui, const ReportRequest& request)
{
    ReportRun run;
    const ReportDefinition& report = *request.report;
    run.strings = loadReportStrings(request.iniName, report.title);
    std::string filterText;
    if (!askQuestions(ui, request, run, filterText)) {
        run.ended = true;
        return run;
    }
    Warnings warnings{ui};
    RecordFile& file = managerOf(database, *report.table).file();
    const bool opened = !file.isOpen();
    if (opened) {
        if (const EngineStatus status =
                openFile(file, warnings, true, false, kAccessReadOnly, false);
            !status.ok()) {
            run.ended = true;
            run.message = "The file cannot be opened: " + status.text;
            return run;
        }
    }
    run.pages = std::make_unique<ReportSpool>();
    ReportLayout layout{report, *run.pages, request.layout};
    if (!request.positions) {
        file.setFilter(compileFilter(filterText, *report.table, warnings));
    }
    UiReportProgress uiProgress{ui};
    ReportProgress& progress = request.progress != nullptr ? *request.progress : uiProgress;
    progress.begin(run.strings, run.preview);
    file.send("QUICKSCAN=on");
    Reading reading{ui, progress, run, file, warnings};
    std::optional<SortOrder> order;
    if (!report.sortExpression.empty()) {
        order = SortOrder::compile(report.sortExpression, SchemaResolver{*report.table->schema});
        if (!order->ok()) {
            reading.viewError(expressionError(order->error()));
            order.reset();
        }
    }
    if (request.positions) {
        reading.atPositions(*request.positions, layout);
    } else if (order) {
        reading.sorted(*order, layout);
    } else {
        reading.byKey(report.key, layout);
    }
    file.send("QUICKSCAN=off");
    file.setFilter(nullptr);
    if (opened) {
        file.close();
    }
    progress.end();
    layout.finish(run.cancelled);
    run.printed = layout.rows();

    const ReportStrings& s = run.strings;
    if (!run.pages->ok() || run.failed) {
        if (!run.failed) {
            run.message = run.pages->error();
            run.failed = true;
        }
        ui.showMessage({report.title, run.message, MessageIcon::Stop, ButtonOk, ButtonOk});
        return run;
    }
    if (run.printed == 0) {
        ui.showMessage({run.preview ? s.nothingToPreviewTitle : s.nothingToPrintTitle,
                        run.preview ? s.nothingToPreviewText : s.nothingToPrintText,
                        MessageIcon::Information, ButtonOk, ButtonOk});
        return run;
    }
    run.output = true;
    if (run.cancelled && run.preview) {
        run.output =
            ui.showMessage({s.cancelPartialTitle, s.cancelPartialText, MessageIcon::Question,
                            ButtonYes | ButtonNo, ButtonYes}) == ButtonYes;
    }
    return run;
}

} // namespace tessaly

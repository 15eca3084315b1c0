#include "report_command.h"

#include "framework/dates.h"
#include "framework/expression.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "options.h"
#include "reports/pdf_canvas.h"
#include "reports/report_run.h"
#include "session.h"
#include "vocabulary.h"

namespace tessaly::cli {

namespace {

// The design's headings of the fields named in `list`, as any command
// spells them; a name that is no field stays as given, for the design to
// refuse.
std::vector<std::string> splitColumns(std::string_view list)
{
    std::vector<std::string> columns;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view name = text::trim(list.substr(0, comma));
        std::string heading{name};
        for (const ReportColumn& column : designColumns()) {
            if (column.field == bookmarkFieldNamed(name)) {
                heading = std::string{column.header};
            }
        }
        columns.push_back(std::move(heading));
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    }
    return columns;
}

// The design's name of the order spelled `spelling`; the designed orders
// follow the bookmark keys one for one.
std::string designOrderName(std::string_view spelling)
{
    const std::optional<BookmarkKey> key = orderNamed(spelling);
    const auto offered = designOrders();
    return key && static_cast<std::size_t>(*key) < offered.size()
               ? std::string{offered[static_cast<std::size_t>(*key)].name}
               : std::string{spelling};
}

std::optional<PageSize> paperOf(std::string_view name)
{
    if (text::equalNoCase(name, "a4")) {
        return PageSize{595.0, 842.0};
    }
    if (text::equalNoCase(name, "letter")) {
        return PageSize{612.0, 792.0};
    }
    return std::nullopt;
}

int cannotWrite(const std::string& path, std::string_view reason, const Context& context)
{
    context.err << "tessaly-cli report: " << messageText(path)
                << " could not be written: " << messageText(reason) << '\n';
    return kExitFailure;
}

} // namespace

std::string ReportCommand::usageNotes() const
{
    return orderSpellings() + "\n" + fieldSpellings();
}

int ReportCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    const Options options = parseOptions(arguments, {"pdf", "query", "paper", "columns", "order"});
    if (!options.error.empty()) {
        return usageError(options.error, context);
    }
    // A title may come as one argument or as its words.
    std::string title;
    for (const std::string& word : options.positional) {
        title += (title.empty() ? "" : " ") + word;
    }
    if (title.empty()) {
        return usageError("give a report's title, or design", context);
    }
    const bool design = text::equalNoCase(title, "design");
    if (!design && (options.has("columns") || options.has("order"))) {
        return usageError("--columns and --order are for report design", context);
    }
    std::optional<ReportDefinition> designed;
    const ReportDefinition* report = nullptr;
    if (design) {
        if (!options.has("columns") || !options.has("order")) {
            return usageError("report design needs --columns and --order", context);
        }
        std::string problem;
        designed = designedReport(splitColumns(*options.get("columns")),
                                  designOrderName(*options.get("order")), problem);
        if (!designed) {
            return usageError(problem, context);
        }
        report = &*designed;
    } else if (report = findFixedReport(title); report == nullptr) {
        return usageError("unknown report " + title, context);
    }
    if (!options.has("pdf")) {
        return usageError("give --pdf FILE", context);
    }
    const std::optional<PageSize> paper = paperOf(options.get("paper").value_or("a4"));
    if (!paper) {
        return usageError("unknown paper " + *options.get("paper"), context);
    }
    ReportRequest request;
    request.report = report;
    request.askPreview = false;
    // Bytes that are not UTF-8 are read as the stored text was: Windows-1252.
    request.query = utf8::valid(options.get("query").value_or(""));
    if (const Expression check =
            Expression::compile(*request.query, SchemaResolver{*report->table->schema});
        !check.ok()) {
        context.err << "tessaly-cli " << name() << ": " << check.error().describe() << '\n';
        return kExitUsage;
    }
    request.layout.page = *paper;
    request.layout.date = format(dates::today(), "@d4");
    const std::string path = callerPath(*options.get("pdf"));

    Session session{context};
    if (!session.start()) {
        return kExitFailure;
    }
    // A file that cannot be written is told before the file is read, not
    // after a long report.
    PdfCanvas pdf{path};
    pdf.setPrivate(printsPasswords(*report));
    if (!pdf.open().ok()) {
        return cannotWrite(path, pdf.error().text, context);
    }
    ReportRun run = runReport(session.database(), session.ui(), request);
    if (!run.output) {
        return kExitFailure; // what happened is on the error stream
    }
    if (const std::string problem = writePages(*run.pages, pdf, report->title); !problem.empty()) {
        return cannotWrite(path, problem, context);
    }
    context.out << messageText(path) << '\n';
    return kExitOk;
}

} // namespace tessaly::cli

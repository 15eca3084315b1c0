#include "analyze_command.h"

#include "field_escape.h"
#include "link_command.h"
#include "links/page_analysis.h"

namespace tessaly::cli {

int AnalyzeCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    LinkCommandKind kind;
    kind.verb = "analysed";
    kind.lookAhead = kPageAnalysisLookAhead;
    kind.jobs = [](Database& database, std::int32_t today) {
        return pageAnalysisJobs(database, today);
    };
    kind.line = [](const LinkBatchItem& item) {
        return std::string{item.result == kLinkPass ? "pass" : "fail"} + '\t' +
               std::to_string(item.bytes) + '\t' + tsvField(item.location) + '\n';
    };
    kind.summary = [](const LinkBatchSummary& summary) {
        return "Analysed " + std::to_string(summary.tested) + " of " +
               counted(summary.visited, "bookmark") + " visited (" + std::to_string(summary.total) +
               " in the file): " + std::to_string(summary.passed) + " passed, " +
               std::to_string(summary.failed) + " failed\n";
    };
    return runLinkCommand(*this, kind, arguments, context);
}

} // namespace tessaly::cli

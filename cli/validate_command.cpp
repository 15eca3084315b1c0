#include "validate_command.h"

#include "field_escape.h"
#include "link_command.h"

namespace tessaly::cli {

namespace {

std::string_view resultWord(int result)
{
    switch (result) {
    case kLinkPass:
        return "pass";
    case kLinkFail:
        return "fail";
    default:
        return "unknown";
    }
}

} // namespace

int ValidateCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    LinkCommandKind kind;
    kind.verb = "tested";
    kind.line = [](const LinkBatchItem& item) {
        return std::string{resultWord(item.result)} + '\t' + std::to_string(item.statusCode) +
               '\t' + tsvField(item.location) + '\n';
    };
    kind.summary = [](const LinkBatchSummary& summary) {
        return "Tested " + std::to_string(summary.tested) + " of " +
               std::to_string(summary.visited) + " bookmarks visited (" +
               std::to_string(summary.total) + " in the file): " + std::to_string(summary.passed) +
               " passed, " + std::to_string(summary.failed) + " failed, " +
               std::to_string(summary.tested - summary.passed - summary.failed) + " unknown\n";
    };
    return runLinkCommand(*this, kind, arguments, context);
}

} // namespace tessaly::cli

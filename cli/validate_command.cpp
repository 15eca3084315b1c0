#include "validate_command.h"

#include "dispatcher.h"
#include "field_escape.h"
#include "framework/dates.h"
#include "links/link_batch.h"
#include "options.h"
#include "session.h"

#include <algorithm>
#include <charconv>

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
    const Options options = parseOptions(arguments, {"query", "jobs"});
    std::string problem = options.error;
    int jobs = 0; // 0: as the settings say
    if (const auto text = options.get("jobs"); problem.empty() && text) {
        const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), jobs);
        if (error != std::errc{} || end != text->data() + text->size() || jobs < 1 ||
            jobs > kMostLinkTestJobs) {
            problem = "--jobs takes a whole number from 1 to " + std::to_string(kMostLinkTestJobs);
        }
    }
    if (problem.empty() && !options.positional.empty()) {
        problem = "unexpected " + options.positional[0];
    }
    if (!problem.empty()) {
        return usageError(problem, context);
    }
    std::shared_ptr<const Expression> filter;
    if (!queryFilter(options, name(), context.err, filter)) {
        return kExitUsage;
    }
    Session session{context};
    if (!session.start(Session::Access::Write)) {
        return kExitFailure;
    }
    LinkBatchOptions batchOptions = LinkBatchOptions::from(session.loadSettings());
    if (jobs > 0) {
        batchOptions.jobs = jobs;
        batchOptions.perHost = std::min(batchOptions.perHost, jobs);
    }
    LinkBatch batch{session.database(), dates::today(), batchOptions};
    const LinkBatchSummary summary = batch.run(filter, [&](const LinkBatchItem& item) {
        if (item.tested) {
            context.out << resultWord(item.result) << '\t' << item.statusCode << '\t'
                        << tsvField(item.location) << '\n';
            context.out.flush();
        }
    });
    if (summary.readLevel != kLevelDone) {
        context.err
            << "tessaly-cli validate: the bookmarks could not be read; nothing was tested\n";
        return kExitFailure;
    }
    if (!summary.localError.empty()) {
        context.err << "tessaly-cli validate: " << summary.localError << "; the run stopped\n";
        return kExitFailure;
    }
    if (summary.writeLevel != kLevelDone) {
        context.err << "tessaly-cli validate: a result could not be stored; the run stopped\n";
        return kExitFailure;
    }
    context.out << "Tested " << summary.tested << " of " << summary.visited
                << " bookmarks visited (" << summary.total << " in the file): " << summary.passed
                << " passed, " << summary.failed << " failed, "
                << summary.tested - summary.passed - summary.failed << " unknown\n";
    return kExitOk;
}

} // namespace tessaly::cli

#include "link_command.h"

#include "framework/dates.h"
#include "options.h"
#include "session.h"

#include <algorithm>
#include <charconv>

namespace tessaly::cli {

int runLinkCommand(const Command& command, const LinkCommandKind& kind,
                   const std::vector<std::string>& arguments, const Context& context)
{
    const std::string name{command.name()};
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
        context.err << "tessaly-cli " << name << ": " << messageText(problem)
                    << "\nusage: " << command.summary() << '\n';
        return kExitUsage;
    }
    std::shared_ptr<const Expression> filter;
    if (!queryFilter(options, name, context.err, filter)) {
        return kExitUsage;
    }
    Session session{context};
    if (!session.start(Session::Access::Write)) {
        return kExitFailure;
    }
    LinkBatchOptions batchOptions = LinkBatchOptions::from(session.loadSettings());
    batchOptions.lookAhead = kind.lookAhead;
    if (jobs > 0) {
        batchOptions.jobs = jobs;
        batchOptions.perHost = std::min(batchOptions.perHost, jobs);
    }
    const std::int32_t today = dates::today();
    LinkBatch batch{session.database(), today, batchOptions,
                    kind.jobs ? kind.jobs(session.database(), today) : BatchJobMaker{}};
    const LinkBatchSummary summary = batch.run(filter, [&](const LinkBatchItem& item) {
        if (item.tested) {
            context.out << kind.line(item);
            context.out.flush();
        }
    });
    if (summary.readLevel != kLevelDone) {
        context.err << "tessaly-cli " << name << ": the bookmarks could not be read; nothing was "
                    << kind.verb << "\n";
        return kExitFailure;
    }
    if (!summary.localError.empty()) {
        context.err << "tessaly-cli " << name << ": " << summary.localError
                    << "; the run stopped\n";
        return kExitFailure;
    }
    if (summary.writeLevel != kLevelDone) {
        context.err << "tessaly-cli " << name
                    << ": a result could not be stored; the run stopped\n";
        return kExitFailure;
    }
    context.out << kind.summary(summary);
    if (const std::string skipped = skippedAccount(summary); !skipped.empty()) {
        context.out << skipped << '\n';
    }
    return kExitOk;
}

} // namespace tessaly::cli

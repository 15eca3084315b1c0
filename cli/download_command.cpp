#include "download_command.h"

#include "field_escape.h"
#include "framework/dates.h"
#include "links/download_account.h"
#include "links/download_batch.h"
#include "options.h"
#include "session.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tessaly::cli {

namespace {

// Makes the folder when it is missing; the reason it cannot be written
// to, empty when it can.
std::string prepareFolder(const std::string& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return error.message();
    }
    if (!std::filesystem::is_directory(folder, error)) {
        return "not a folder";
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return std::strerror(errno);
    }
    return {};
}

std::string itemLine(const DownloadItem& item)
{
    if (item.saved) {
        return std::string{item.failed ? "failed" : "saved"} + '\t' + tsvField(item.path) + '\t' +
               tsvField(item.location) + '\n';
    }
    if (item.marked) {
        // Begun and not whole: nothing kept, the bookmark marked failed.
        return "stopped\t" + tsvField(item.problem) + '\t' + tsvField(item.location) + '\n';
    }
    return "missed\t" + tsvField(item.problem) + '\t' + tsvField(item.location) + '\n';
}

} // namespace

int DownloadCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    const Options options = parseOptions(arguments, {"folder", "query"});
    if (!options.error.empty()) {
        return usageError(options.error, context);
    }
    if (!options.positional.empty()) {
        return usageError("unexpected " + options.positional[0], context);
    }
    if (!options.has("folder")) {
        return usageError("give the folder to save the pages in with --folder", context);
    }
    std::shared_ptr<const Expression> filter;
    if (!queryFilter(options, name(), context.err, filter)) {
        return kExitUsage;
    }
    const std::string folder = callerPath(*options.get("folder"));
    if (const std::string problem = prepareFolder(folder); !problem.empty()) {
        context.err << "tessaly-cli download: the folder " << messageText(folder)
                    << " cannot be written to: " << messageText(problem) << '\n';
        return kExitFailure;
    }
    Session session{context};
    if (!session.start(Session::Access::Write)) {
        return kExitFailure;
    }
    DownloadBatch batch{session.database(), session.ui(), dates::today(), "DOWNLOAD.LOG"};
    batch.setAskForQuery(false);
    const Settings& settings = session.loadSettings();
    batch.setBounds(downloadBounds(settings));
    batch.setJobs(settings.linkTestJobs, settings.linkTestsPerHost);
    DownloadTally tally;
    batch.setObserver([&](const DownloadItem& item) {
        tally.add(item);
        context.out << itemLine(item);
        context.out.flush();
    });
    const DownloadSummary summary =
        batch.run(options.get("query").value_or(""), [&] { return std::optional{folder}; });
    if (!summary.refusedFolder.empty()) {
        return kExitFailure; // the message is on the error stream
    }
    if (summary.readLevel != kLevelDone) {
        context.err << "tessaly-cli download: the bookmarks could not be read; nothing was "
                       "saved\n";
        return kExitFailure;
    }
    if (!summary.writeError.empty() || summary.writeLevel != kLevelDone) {
        context.err << "tessaly-cli download: "
                    << (summary.writeError.empty() ? std::string{"a bookmark could not be stored"}
                                                   : messageText(summary.writeError))
                    << "; the run stopped\n";
        return kExitFailure;
    }
    context.out << "Saved " << summary.saved << " of " << counted(summary.visited, "bookmark")
                << " (" << summary.total << " in the file) into " << tsvField(folder) << ": "
                << summary.failed << " marked failed, " << summary.missed << " not saved\n";
    if (const std::string missed = missedAccount(tally); !missed.empty()) {
        context.out << messageText(missed) << '\n';
    }
    return kExitOk;
}

} // namespace tessaly::cli

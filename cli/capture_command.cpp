#include "capture_command.h"

#include "field_escape.h"

#include "framework/dates.h"
#include "framework/system_file.h"
#include "import/clipboard_capture.h"
#include "import/import_file.h"
#include "import/old_database_import.h"
#include "options.h"
#include "session.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>

namespace tessaly::cli {

namespace {

// The time of day now, as the pictures count it.
std::int32_t timeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return dates::clockTime(local.tm_hour, local.tm_min, local.tm_sec);
}

} // namespace

int CaptureCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    const Options options = parseOptions(arguments, {});
    if (!options.error.empty()) {
        return usageError(options.error, context);
    }
    if (options.positional.size() > 1) {
        return usageError("unexpected " + options.positional[1], context);
    }
    const std::string source = options.positional.empty() ? "-" : options.positional[0];
    std::string copied;
    if (source == "-") {
        // Standard input is held to the size a file may have, so an endless
        // one (/dev/zero) ends.
        if (const SystemResult read =
                readWholeDescriptor(STDIN_FILENO, copied, kLargestWholeSource);
            !read.ok()) {
            context.err << "tessaly-cli capture: standard input: " << read.text
                        << (read.errorNumber == EFBIG ? " (more than 64 MiB)\n" : "\n");
            return kExitFailure;
        }
    } else if (const SystemResult read = readWholeSource(source, copied); !read.ok()) {
        context.err << "tessaly-cli capture: " << source << ": " << read.text << '\n';
        return kExitFailure;
    }
    Session session{context};
    if (!session.start(Session::Access::Write)) {
        return kExitFailure;
    }
    ClipboardCapture capture{session.database()};
    for (const std::string& location : capture.capture(copied, dates::today(), timeNow())) {
        context.out << "Added " << tsvField(location) << '\n';
    }
    context.out << "Captured " << counted(capture.added(), "bookmark") << '\n';
    return kExitOk;
}

int ImportOldCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    const Options options = parseOptions(arguments, {});
    if (!options.error.empty()) {
        return usageError(options.error, context);
    }
    if (options.positional.size() != 1) {
        return usageError(options.positional.empty() ? "which file?"
                                                     : "unexpected " + options.positional[1],
                          context);
    }
    const std::string path = callerPath(options.positional[0]);
    if (!isOldDatabaseName(path)) {
        context.err << "Cannot Import: You can only import from databases created by Tessaly "
                       "version 1.5 and above.\n";
        return kExitFailure;
    }
    Session session{context};
    if (!session.start(Session::Access::Write)) {
        return kExitFailure;
    }
    const ImportSummary summary = importOldDatabase(session.database(), session.ui(), path);
    if (!summary.sourceError.empty() || summary.failed) {
        return kExitFailure; // the warning has said why
    }
    context.out << importSummaryLine(summary.imported, summary.alreadyStored);
    return kExitOk;
}

} // namespace tessaly::cli

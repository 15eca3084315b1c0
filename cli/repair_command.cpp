#include "repair_command.h"

#include "cli_ui.h"
#include "core/maintenance.h"
#include "field_escape.h"
#include "framework/text.h"
#include "options.h"
#include "platform/data_folder.h"

#include <algorithm>

namespace tessaly::cli {

namespace {

// The terminal's answers: the question before repairing a table of the
// multi-table file is answered Yes only when --yes was given.
class RepairUi final : public UiPort {
public:
    RepairUi(std::ostream& err, bool yes) : terminal_(err), yes_(yes) {}

    Button showMessage(const MessageRequest& request) override
    {
        MessageRequest answered = request;
        if (yes_ && (request.buttons & ButtonYes) != 0) {
            answered.defaultButton = ButtonYes;
        }
        return terminal_.showMessage(answered);
    }
    std::optional<std::string> pickCategory(std::string_view nearest) override
    {
        return terminal_.pickCategory(nearest);
    }
    bool runQuery(const QueryRequest& request, std::string& filter) override
    {
        return terminal_.runQuery(request, filter);
    }
    void beginProgress(std::string_view /*caption*/) override {}
    void reportProgress(int /*percent*/, std::string_view /*status*/) override {}
    bool cancelRequested() override { return false; }
    void endProgress() override {}

private:
    CliUi terminal_;
    bool yes_;
};

std::string_view outcomeWord(FileOutcome outcome)
{
    switch (outcome) {
    case FileOutcome::Done:
        return "done";
    case FileOutcome::Skipped:
        return "skipped";
    case FileOutcome::Failed:
        return "failed";
    case FileOutcome::Cancelled:
        return "cancelled";
    }
    return "failed";
}

} // namespace

int RepairCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    const Options options = parseOptions(arguments, {}, {"yes"});
    if (!options.error.empty()) {
        return usageError(options.error, context);
    }
    if (options.positional.empty()) {
        return usageError("which action? build, pack, release, info or fix", context);
    }
    const std::optional<MaintenanceAction> action = actionNamed(options.positional[0]);
    if (!action) {
        return usageError("unknown action " + options.positional[0], context);
    }
    std::vector<MaintenanceEntry> entries = maintenanceEntries();
    for (std::size_t i = 1; i < options.positional.size(); ++i) {
        const std::string& label = options.positional[i];
        const auto found = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
            return text::equalNoCase(e.label, label);
        });
        if (found == entries.end()) {
            return usageError("unknown file label " + label +
                                  "; the labels are TESSLY, Categories, CatHTML, URLKeywords, "
                                  "URLDetails, ImportTESSLY, ASCIIfile, DOSFile and Output",
                              context);
        }
        found->tagged = true;
    }
    if (options.positional.size() == 1) {
        for (MaintenanceEntry& entry : entries) {
            entry.tagged = true;
        }
    }
    // Only the data folder is entered: the database is not opened, so that
    // a damaged file can still be repaired. Nothing here shows a record.
    const DataFolderChoice folder = enterDataFolder(context.dataFolder);
    if (!folder.error.empty()) {
        context.err << "tessaly-cli: " << folder.error << '\n';
        return kExitFailure;
    }
    RepairUi ui{context.err, options.has("yes")};
    showRepairWarning(ui);
    Maintenance maintenance{ui, ".", {}};
    MaintenanceSummary summary;
    int left = static_cast<int>(
        std::count_if(entries.begin(), entries.end(), [](const auto& e) { return e.tagged; }));
    int failed = 0;
    for (MaintenanceEntry& entry : entries) {
        if (!entry.tagged) {
            continue;
        }
        const FileOutcome outcome = maintenance.runOne(*action, entry, left--, summary);
        failed += outcome == FileOutcome::Failed ? 1 : 0;
        context.out << tsvField(entry.label) << '\t' << outcomeWord(outcome) << '\t'
                    << tsvField(entry.records) << '\t' << tsvField(entry.information) << '\n';
        context.out.flush();
    }
    return failed > 0 ? kExitFailure : kExitOk;
}

} // namespace tessaly::cli

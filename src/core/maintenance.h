#pragma once

#include "framework/ui_port.h"

#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// The maintenance actions of "Repair Files".
enum class MaintenanceAction { Fix, Build, Pack, Release, Info };

// "Fix", "Build", "Pack", "Release", "Info".
std::string_view actionName(MaintenanceAction action);
// The action of that name, letter case ignored ("build", "FIX").
std::optional<MaintenanceAction> actionNamed(std::string_view name);

// One entry of the file list: whether it is tagged, what the "File" column
// shows, what the last action found out, and which file it is.
struct MaintenanceEntry {
    bool tagged = false;
    std::string description;
    std::string records = "?";
    std::string information;
    std::string label;
    std::string owner; // blank for files without an owner name
};

// The nine files that can be maintained, sorted by description.
std::vector<MaintenanceEntry> maintenanceEntries();

// The box shown before the list opens.
inline constexpr std::string_view kRepairWarning =
    "You should ensure that all windows within this application are closed before repairing "
    "the databases.";
void showRepairWarning(UiPort& ui);

// What the progress window shows while an action works.
struct MaintenanceProgress {
    std::string currentFile;
    std::string action; // "Building File", "Key : URL:K_LOCATION", "Packing File"...
    int percent = 0;
    int filesLeft = 0;
};

// The progress window of an action. Calls come from the thread that runs
// the action.
class MaintenanceObserver {
public:
    virtual ~MaintenanceObserver() = default;
    virtual void begin() {}
    virtual void show(const MaintenanceProgress& progress) = 0;
    // True once Cancel was pressed for the current file; polled often.
    virtual bool cancelRequested() = 0;
    // The cancelled file has been left; the next one starts afresh.
    virtual void clearCancel() {}
    virtual void end() {}
};

// How the work on one file ended.
enum class FileOutcome {
    Done,
    Skipped,   // missing, or the user said No
    Failed,    // could not be opened exclusively, could not be read or repaired
    Cancelled, // Cancel ended the work; the file is as it was
};

struct MaintenanceSummary {
    int done = 0;
    int skipped = 0;
    int failed = 0;
    int cancelled = 0;
    // Files that a repair replaced by a fresh copy: connections still open
    // on them read the damaged copy until they are opened again.
    std::vector<std::string> replaced;
};

// The names of the files named at open time (the old-version database,
// ASCIIfile and DOSFile under the import name, Output under the output
// name); relative names are in the data folder.
struct MaintenanceNames {
    std::string importFile;
    std::string outputFile;
};

// Runs the maintenance actions over the files of a data folder. Each file
// is opened on a connection of its own, with an exclusive lock for Build,
// Pack, Release and Fix. Messages go through the UI port with the texts of
// "Repair Files". Not thread-safe; use one object per thread.
class Maintenance final {
public:
    Maintenance(UiPort& ui, std::string folder, MaintenanceNames names = {});

    void setObserver(MaintenanceObserver* observer) { observer_ = observer; }
    // How long an action waits for another program's lock before it gives
    // up with the access error (short: a held file is reported, not waited
    // for).
    void setLockWait(int milliseconds) { lockWait_ = milliseconds; }
    // The clock that dates the name of a damaged file kept by a repair.
    void setClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

    // Runs `action` on every tagged entry in list order, or when none is
    // tagged on the entry `highlighted` (none when it is out of range).
    // Entries are updated with their record count and information.
    MaintenanceSummary run(MaintenanceAction action, std::vector<MaintenanceEntry>& entries,
                           int highlighted);

    // Runs `action` on one entry; `filesLeft` is what the progress shows.
    FileOutcome runOne(MaintenanceAction action, MaintenanceEntry& entry, int filesLeft,
                       MaintenanceSummary& summary);

    // The full name of an entry's file: "/data/URLDATA.tps\!Locations" for
    // a table of the multi-table container; empty when its label names no
    // file.
    std::string fullName(const MaintenanceEntry& entry) const;

    // Where a label's file is (see maintenance_files.h).
    struct Located;

private:
    std::optional<Located> locate(std::string_view label) const;
    void progress(std::string_view action, int percent);
    bool cancelled();

    FileOutcome build(const Located& file, MaintenanceEntry& entry);
    FileOutcome pack(const Located& file, MaintenanceEntry& entry);
    FileOutcome release(const Located& file, MaintenanceEntry& entry);
    FileOutcome info(const Located& file, MaintenanceEntry& entry);
    FileOutcome fix(const Located& file, MaintenanceEntry& entry, MaintenanceSummary& summary);
    FileOutcome fixFile(const std::string& name, bool multiTable, const Located& file,
                        MaintenanceEntry& entry, MaintenanceSummary& summary);
    FileOutcome lineAction(MaintenanceAction action, const Located& file, MaintenanceEntry& entry);

    UiPort& ui_;
    std::string folder_;
    MaintenanceNames names_;
    MaintenanceObserver* observer_ = nullptr;
    int lockWait_ = 300;
    std::function<std::time_t()> clock_;
    MaintenanceProgress shown_;
    // What a repair in this run did to each file, given again for its other
    // tables.
    struct Fixed {
        FileOutcome outcome = FileOutcome::Skipped;
        std::string information;
    };
    std::map<std::string, Fixed> fixed_;
};

} // namespace tessaly

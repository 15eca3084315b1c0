// Repair: check a container and, when it is damaged, copy every row still on
// its pages into a fresh file with its keys rebuilt, keeping the damaged file
// beside it.
#include "core/maintenance.h"
#include "core/maintenance_files.h"
#include "core/page_reader.h"
#include "core/row_recovery.h"
#include "framework/system_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

using namespace maintenance;

namespace {

constexpr std::string_view kMultiTableQuestion =
    "This is a multi-table TPS file. You can try using Fix, but the results are not guarenteed "
    "and could damage your file further.  Do you want to continue ? ";

// A folder of our own beside the damaged file: the fresh file is made there
// and renamed over the damaged one on the same file system.
class WorkFolder final {
    static constexpr std::string_view kWorkPrefix = ".tessaly-repair-";

public:
    explicit WorkFolder(const std::string& beside)
    {
        // What a repair killed on its way left here goes first.
        std::string folder = std::filesystem::path{beside}.parent_path().string();
        if (folder.empty()) {
            folder = ".";
        }
        removeStaleTemporaries(folder, kWorkPrefix);
        std::string pattern = folder + "/" + temporaryPrefix(kWorkPrefix) + "XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~WorkFolder()
    {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// "URLDATA.tps" -> "URLDATA.damaged-20250131-153012.tps"; never a name in use.
std::string keptName(const std::string& path, std::time_t when, int attempt)
{
    const std::filesystem::path file{path};
    char stamp[32] = {};
    std::tm local{};
    ::localtime_r(&when, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string name = file.stem().string() + ".damaged-" + stamp;
    if (attempt > 1) {
        name += "-" + std::to_string(attempt);
    }
    return (file.parent_path() / (name + file.extension().string())).string();
}

// Gives the damaged file its dated name as a second link, so that the file
// never stops existing under one name or the other; where links cannot be
// made it is renamed, refusing a name in use.
EngineStatus keepDamaged(const std::string& path, std::time_t when, std::string& kept)
{
    for (int attempt = 1; attempt < 100; ++attempt) {
        kept = keptName(path, when, attempt);
        if (::link(path.c_str(), kept.c_str()) == 0) {
            return {};
        }
        if (errno == EEXIST) {
            continue;
        }
        if (exists(kept)) {
            continue;
        }
        if (std::rename(path.c_str(), kept.c_str()) == 0) {
            return {};
        }
        return EngineStatus::systemError(errno);
    }
    return EngineStatus::systemError(EEXIST);
}

// Makes what was written to a file, or the names in a folder, durable.
EngineStatus syncFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return EngineStatus::systemError(errno);
    }
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    return synced == 0 ? EngineStatus{} : EngineStatus::systemError(error);
}

// "URLDATA.damaged-20250131-153012.tps" -> "URLDATA.damaged-20250131-153012-unplaced.txt".
std::string unplacedNameFor(const std::string& kept)
{
    const std::filesystem::path file{kept};
    return (file.parent_path() / (file.stem().string() + "-unplaced.txt")).string();
}

// The entry's record count, read from the file as it now is.
void countRecords(const std::string& folder, const Maintenance::Located& located, int lockWait,
                  MaintenanceEntry& entry)
{
    KeyedFile reopened{folder, *located.table, located.container, lockWait};
    if (reopened.open(kAccessReadOnly, located.path).ok()) {
        entry.records = std::to_string(reopened.file().records());
    }
}

std::string integrityResult(sql::Connection& connection, bool& readable)
{
    sql::Statement check{connection, "PRAGMA main.integrity_check(20)"};
    std::string result;
    EngineStatus status;
    while (check.step(status)) {
        result += (result.empty() ? "" : "\n") + std::string{check.text(0)};
    }
    readable = status.ok() && check.valid();
    return readable ? result : errorText(status.ok() ? check.prepareStatus() : status);
}

} // namespace

FileOutcome Maintenance::fix(const Located& located, MaintenanceEntry& entry,
                             MaintenanceSummary& summary)
{
    std::string name = located.fullName();
    const bool multiTable = name.find('!') != std::string::npos;
    if (multiTable) {
        name = name.substr(0, name.find("\\!"));
    }
    if (name.empty() || !exists(name)) {
        return FileOutcome::Skipped;
    }
    // Several tables share a file: it is asked about and repaired once, and
    // each of its tables is reported with what was done to the file.
    if (const auto done = fixed_.find(name); done != fixed_.end()) {
        entry.information = done->second.information;
        if (done->second.outcome == FileOutcome::Done) {
            countRecords(folder_, located, lockWait_, entry);
        }
        return done->second.outcome;
    }
    const FileOutcome outcome = fixFile(name, multiTable, located, entry, summary);
    fixed_[name] = {outcome, entry.information};
    return outcome;
}

FileOutcome Maintenance::fixFile(const std::string& name, bool multiTable, const Located& located,
                                 MaintenanceEntry& entry, MaintenanceSummary& summary)
{
    if (multiTable && !ui_.askYesNo("Warning", kMultiTableQuestion, false)) {
        return FileOutcome::Skipped;
    }
    const std::string shortName = std::filesystem::path{name}.filename().string();
    // Opened before the connection and closed after it: closing any
    // descriptor of the file would drop the lock the connection holds.
    pages::FileSource source{name};
    sql::Connection damaged;
    EngineStatus status = damaged.open(name, false, false);
    if (status.ok()) {
        damaged.setBusyTimeout(lockWait_);
        status = damaged.execute("BEGIN EXCLUSIVE");
    }
    // A file whose first page is lost is no database to SQLite: no lock can
    // be taken on it, and no other program can use it either.
    const bool unusable =
        status.code == kInvalidRecordDeclaration || status.code == kKeyFileInvalid;
    if (!status.ok() && !unusable) {
        showAccessError(ui_, status);
        return FileOutcome::Failed;
    }
    if (!source.isOpen()) {
        showAccessError(ui_, EngineStatus::systemError(source.error()));
        return FileOutcome::Failed;
    }
    progress("Checking File", 0);
    bool readable = false;
    const std::string found = unusable ? errorText(status) : integrityResult(damaged, readable);
    if (readable && found == "ok") {
        progress("Checking File", 100);
        entry.information = "No damage found";
        ui_.showMessage({"Repair", "No damage was found in " + shortName + ". Nothing was changed.",
                         MessageIcon::Information, ButtonOk, ButtonOk});
        return FileOutcome::Done;
    }

    const auto refuse = [&](const std::string& why) {
        ui_.showMessage({"Error",
                         shortName + " is damaged and " + why + " The file was not changed.",
                         MessageIcon::Stop, ButtonOk, ButtonOk});
        entry.information = "Damaged: " + found.substr(0, found.find('\n'));
        return FileOutcome::Failed;
    };
    progress("Recovering Rows", 10);
    WorkFolder work{name};
    if (work.path().empty()) {
        showAccessError(ui_, EngineStatus::systemError(errno));
        return FileOutcome::Failed;
    }
    pages::PageReader reader{source};
    if (!reader.utf8()) {
        // This program writes UTF-8 only; another program's file in UTF-16
        // would come out garbled.
        return refuse(
            "its text is stored as UTF-16, which a repair of this program does not read.");
    }
    Engine fresh{work.path()};
    fresh.setMainContainer(shortName);
    const std::string unplacedWork = work.path() + "/unplaced.txt";
    const RecoveryReport report =
        recoverRows(reader, tablesOf(located), fresh, shortName, unplacedWork, [this](int percent) {
            progress("Recovering Rows", 10 + percent * 8 / 10);
            return !cancelled();
        });
    fresh.close();
    if (report.cancelled) {
        return FileOutcome::Cancelled;
    }
    if (source.error() != 0) {
        return refuse("it could not be read to the end : " +
                      std::string{std::strerror(source.error())} + ".");
    }
    if (!report.status.ok()) {
        return refuse("its rows could not be written to a fresh file : Error " +
                      errorText(report.status) + ".");
    }
    std::int64_t rowsFound = report.noTable;
    for (const TableRecovery& table : report.tables) {
        rowsFound += table.found;
    }
    if (rowsFound == 0 && !reader.headerRead() && !report.schemaRead) {
        // Nothing of ours in it: it may be another program's file.
        ui_.showMessage({"Error",
                         shortName + " is not a database file of this program, so it cannot be "
                                     "repaired. The file was not changed.",
                         MessageIcon::Stop, ButtonOk, ButtonOk});
        entry.information = "Damaged: " + found.substr(0, found.find('\n'));
        return FileOutcome::Failed;
    }
    progress("Recovering Rows", 90);
    const std::string freshPath = work.path() + "/" + shortName;
    {
        sql::Connection check;
        bool freshReadable = false;
        if (!check.open(freshPath, false, true).ok() ||
            integrityResult(check, freshReadable) != "ok") {
            return refuse("the fresh copy did not pass its check.");
        }
    }
    struct stat mode {};
    if (::stat(name.c_str(), &mode) == 0) {
        ::chmod(freshPath.c_str(), mode.st_mode & 07777);
    }
    if (status = syncFile(freshPath); !status.ok()) {
        return refuse("the fresh copy could not be written to disk : Error " + errorText(status) +
                      ".");
    }
    std::string kept;
    if (status = keepDamaged(name, clock_(), kept); !status.ok()) {
        return refuse("it could not be kept under another name : Error " + errorText(status) + ".");
    }
    if (std::rename(freshPath.c_str(), name.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        // Put it back where it was; when even that fails, the user must
        // learn where the file now is rather than think it unchanged.
        if (!exists(name) && std::rename(kept.c_str(), name.c_str()) != 0) {
            ui_.showMessage(
                {"Error",
                 shortName + " is damaged and the fresh copy could not take its place : " + why +
                     ". The damaged file is now named " + kept + ".",
                 MessageIcon::Stop, ButtonOk, ButtonOk});
            entry.information = "Damaged: kept as " + kept;
            return FileOutcome::Failed;
        }
        return refuse("the fresh copy could not take its place : " + why + ".");
    }
    damaged.execute("ROLLBACK");
    damaged.close();
    // The new names reach the disk with the folder.
    const std::string folder = std::filesystem::path{name}.parent_path().string();
    static_cast<void>(syncFile(folder.empty() ? "." : folder));
    summary.replaced.push_back(name);
    progress("Recovering Rows", 100);

    const std::string keptShort = std::filesystem::path{kept}.filename().string();
    std::string message = shortName + " was damaged. " + std::to_string(report.kept) +
                          (report.kept == 1 ? " row was" : " rows were") +
                          " recovered into a fresh file and its keys were rebuilt.";
    for (const TableRecovery& table : report.tables) {
        message += " " + table.table + ": " + std::to_string(table.found) + " found, " +
                   std::to_string(table.kept) + " kept";
        if (table.unplaced > 0) {
            message += ", " + std::to_string(table.unplaced) + " not placed";
        }
        message += ".";
    }
    std::string unreadable;
    for (const TableRecovery& table : report.tables) {
        if (table.found == 0 && table.treeDamaged) {
            unreadable += " " + table.table;
        }
    }
    if (!unreadable.empty()) {
        message += " Nothing could be read of:" + unreadable + ".";
    }
    if (report.noTable > 0) {
        message += " " + std::to_string(report.noTable) +
                   (report.noTable == 1 ? " row fits" : " rows fit") + " none of its tables.";
    }
    if (report.unplacedWritten > 0) {
        const std::string unplacedName = unplacedNameFor(kept);
        if (std::rename(unplacedWork.c_str(), unplacedName.c_str()) == 0) {
            message += " The rows not placed are listed in " +
                       std::filesystem::path{unplacedName}.filename().string() + ".";
        } else {
            message += " The rows not placed could not be listed beside it : " +
                       std::string{std::strerror(errno)} + ".";
        }
    }
    message += " The damaged file is kept as " + keptShort + ".";
    entry.information = "Repaired: " + std::to_string(report.kept) +
                        " rows recovered; damaged file kept as " + keptShort;
    countRecords(folder_, located, lockWait_, entry);
    ui_.showMessage({"Repair", message, MessageIcon::Information, ButtonOk, ButtonOk});
    return FileOutcome::Done;
}

} // namespace tessaly

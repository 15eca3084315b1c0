// Build, Pack, Release and Info on one file, and where a label's file is.
#include "core/line_file.h"
#include "core/maintenance.h"
#include "core/maintenance_files.h"
#include "core/tables.h"
#include "framework/text.h"

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

namespace tessaly {

using namespace maintenance;

namespace {

// The first bytes of a rollback journal that still holds pages to put back.
constexpr std::array<unsigned char, 8> kJournalMagic = {0xd9, 0xd5, 0x05, 0xf9,
                                                        0x20, 0xa1, 0x63, 0xd7};

// True when a program ended inside a transaction on the file: its journal
// is still there and not yet marked finished. Such a file holds a change
// nobody will complete; the next exclusive open undoes it.
bool hasUnfinishedChange(const std::string& path)
{
    std::FILE* journal = std::fopen((path + "-journal").c_str(), "rb");
    if (journal == nullptr) {
        return false;
    }
    std::array<unsigned char, 8> head{};
    const bool full = std::fread(head.data(), 1, head.size(), journal) == head.size();
    std::fclose(journal);
    return full && head == kJournalMagic;
}

// Lets SQLite stop a long statement when Cancel is pressed.
class CancelHook final {
public:
    CancelHook(Engine& engine, std::function<bool()> cancelled)
        : handle_(engine.connection().handle()), cancelled_(std::move(cancelled))
    {
        sqlite3_progress_handler(handle_, 2000, &CancelHook::poll, this);
    }
    ~CancelHook() { sqlite3_progress_handler(handle_, 0, nullptr, nullptr); }
    CancelHook(const CancelHook&) = delete;
    CancelHook& operator=(const CancelHook&) = delete;

private:
    static int poll(void* self) { return static_cast<CancelHook*>(self)->cancelled_() ? 1 : 0; }
    sqlite3* handle_;
    std::function<bool()> cancelled_;
};

std::string keyLabel(const TableDef& table, int key)
{
    return std::string{table.prefix()} + ":" +
           std::string{table.keys[static_cast<std::size_t>(key)].name};
}

} // namespace

namespace maintenance {

bool exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::string errorText(const EngineStatus& status)
{
    std::string text = status.text.empty() ? engineErrorText(status.code) : status.text;
    if (!status.systemText.empty()) {
        text += " - " + status.systemText;
    }
    return text;
}

void showAccessError(UiPort& ui, const EngineStatus& status)
{
    ui.showMessage({"File Access Error",
                    "This option requires exclusive file access.\nPlease ensure no other users "
                    "are in the system. \nAn error occured trying to open the file : Error " +
                        errorText(status),
                    MessageIcon::Stop, ButtonOk, ButtonOk});
}

std::vector<const TableDef*> tablesOf(const Maintenance::Located& file)
{
    if (file.table == &importTable()) {
        return {&importTable()};
    }
    std::vector<const TableDef*> tables;
    for (const TableDef* table : {&bookmarkTable(), &keywordTable(), &detailTable(),
                                  &configurationTable(), &categoryTable(), &catHtmlTable()}) {
        if (table->container == file.container) {
            tables.push_back(table);
        }
    }
    return tables;
}

KeyedFile::KeyedFile(const std::string& folder, const TableDef& table, const std::string& container,
                     int lockWait)
    : engine_(std::make_unique<Engine>(folder))
{
    engine_->setMainContainer(container);
    engine_->setLockWait(lockWait);
    file_ = std::make_unique<RecordFile>(*engine_, table);
    if (table.container.empty()) {
        file_->setContainer(container);
    }
}

EngineStatus KeyedFile::open(int accessMode, const std::string& path)
{
    if (!exists(path)) {
        return EngineStatus::error(kFileNotFound);
    }
    return file_->open(accessMode);
}

} // namespace maintenance

std::string Maintenance::Located::fullName() const
{
    return multiTable ? path + "\\!" + std::string{table->table} : path;
}

std::optional<Maintenance::Located> Maintenance::locate(std::string_view label) const
{
    const std::string wanted = text::upper(label);
    const auto absolute = [this](const std::string& name) {
        std::filesystem::path path{name};
        if (path.is_relative()) {
            path = std::filesystem::path{folder_} / path;
        }
        return std::filesystem::absolute(path).lexically_normal().string();
    };
    for (const TableDef* table :
         {&bookmarkTable(), &categoryTable(), &catHtmlTable(), &keywordTable(), &detailTable()}) {
        if (text::upper(table->label) == wanted) {
            const std::string container{table->container};
            return Located{Located::Kind::Keyed, table, container, absolute(container + ".tps"),
                           container == "URLDATA"};
        }
    }
    const std::string importName{text::trim(names_.importFile)};
    const std::string outputName{text::trim(names_.outputFile)};
    if (wanted == "IMPORTTESSLY") {
        return Located{Located::Kind::Keyed, &importTable(), importName,
                       importName.empty() ? std::string{} : absolute(importName), false};
    }
    if (wanted == "ASCIIFILE" || wanted == "DOSFILE") {
        return Located{wanted == "DOSFILE" ? Located::Kind::Blocks : Located::Kind::Lines, nullptr,
                       importName, importName.empty() ? std::string{} : absolute(importName),
                       false};
    }
    if (wanted == "OUTPUT") {
        return Located{Located::Kind::Lines, nullptr, outputName,
                       outputName.empty() ? std::string{} : absolute(outputName), false};
    }
    return std::nullopt;
}

namespace {

// Opens a keyed file for writing and takes it for this program alone: no
// other program may read it meanwhile. kFileNotFound when there is none.
EngineStatus takeAlone(KeyedFile& opened, const Maintenance::Located& located)
{
    EngineStatus status = opened.open(kAccessReadWrite, located.path);
    if (status.ok() || status.code == kKeyFileInvalid) {
        status = opened.engine().begin(true);
    }
    return status;
}

// What Info says of a file it cannot open. A file that is not there yet is
// no error: the program makes it when it is first used.
std::string missingOrError(const Maintenance::Located& located, const EngineStatus& status)
{
    if (status.code != kFileNotFound) {
        return "Error : " + errorText(status);
    }
    return located.path.empty() ? "No file named" : "Not made yet";
}

} // namespace

FileOutcome Maintenance::build(const Located& located, MaintenanceEntry& entry)
{
    KeyedFile opened{folder_, *located.table, located.container, lockWait_};
    EngineStatus status = takeAlone(opened, located);
    if (status.code == kFileNotFound) {
        return FileOutcome::Skipped;
    }
    if (!status.ok()) {
        showAccessError(ui_, status);
        return FileOutcome::Failed;
    }
    opened.file().send("FULLBUILD=on");
    progress("Building File", 0);
    bool stopped = false;
    const auto keys = static_cast<int>(located.table->keys.size());
    {
        CancelHook hook{opened.engine(), [this, &stopped] {
                            return stopped = stopped || cancelled();
                        }};
        status = opened.file().build([&](int key) {
            if (cancelled()) {
                stopped = true;
                return false;
            }
            progress("Key : " + keyLabel(*located.table, key), key * 100 / std::max(keys, 1));
            return true;
        });
    }
    if (status.ok()) {
        status = opened.engine().commit();
    } else {
        opened.engine().rollback();
    }
    if (stopped) {
        return FileOutcome::Cancelled;
    }
    if (!status.ok()) {
        ui_.showMessage({"Error",
                         "The keys of " + entry.label + " could not be built : Error " +
                             errorText(status) +
                             "\nUse Repair to recover the records of a damaged file.",
                         MessageIcon::Stop, ButtonOk, ButtonOk});
        return FileOutcome::Failed;
    }
    progress("Building File", 100);
    if (!opened.file().isOpen()) {
        opened.file().open();
    }
    if (opened.file().isOpen()) {
        entry.records = std::to_string(opened.file().records());
    }
    return FileOutcome::Done;
}

FileOutcome Maintenance::pack(const Located& located, MaintenanceEntry& entry)
{
    KeyedFile opened{folder_, *located.table, located.container, lockWait_};
    // Compacting rewrites the whole file: first make sure nobody else holds
    // it, so a reader elsewhere is reported rather than waited for.
    EngineStatus status = takeAlone(opened, located);
    if (status.code == kFileNotFound) {
        return FileOutcome::Skipped;
    }
    if (status.ok()) {
        status = opened.engine().commit();
    }
    if (!status.ok()) {
        showAccessError(ui_, status);
        return FileOutcome::Failed;
    }
    progress("Packing File", 0);
    const bool wasOpen = opened.file().isOpen();
    if (wasOpen) {
        opened.file().close(); // no statement of ours may stay open over VACUUM
    }
    bool stopped = false;
    {
        CancelHook hook{opened.engine(), [this, &stopped] {
                            return stopped = stopped || cancelled();
                        }};
        status = opened.engine().connection().execute("VACUUM main");
    }
    if (stopped) {
        return FileOutcome::Cancelled;
    }
    if (!status.ok()) {
        showAccessError(ui_, status);
        return FileOutcome::Failed;
    }
    progress("Packing File", 100);
    if (wasOpen && opened.file().open().ok()) {
        entry.records = std::to_string(opened.file().records());
    }
    return FileOutcome::Done;
}

FileOutcome Maintenance::release(const Located& located, MaintenanceEntry& entry)
{
    const bool held = hasUnfinishedChange(located.path);
    KeyedFile opened{folder_, *located.table, located.container, lockWait_};
    opened.file().send("RECOVER=1");
    EngineStatus status = opened.open(kAccessReadWrite, located.path);
    if (status.code == kFileNotFound) {
        return FileOutcome::Skipped;
    }
    if (status.ok()) {
        status = opened.engine().begin(true);
    }
    if (!status.ok()) {
        showAccessError(ui_, status);
        return FileOutcome::Failed;
    }
    RecordFile& file = opened.file();
    const std::int64_t records = file.records();
    entry.records = std::to_string(records);
    file.send("IGNORESTATUS=ON");
    progress("Releasing Records", 0);
    // Reading every record proves each one can be had again.
    std::int64_t count = 0;
    Record record{*located.table};
    file.setRecordOrder();
    while ((status = file.next(record)).ok()) {
        ++count;
        if (count % 64 == 0) {
            progress("Releasing Records",
                     static_cast<int>(count * 100 / std::max<std::int64_t>(records, 1)));
            if (cancelled()) {
                opened.engine().rollback();
                return FileOutcome::Cancelled;
            }
        }
    }
    file.send("RECOVER=0");
    file.send("IGNORESTATUS=OFF");
    // Ending the read gives the file back; a failure there is the file's.
    if (const EngineStatus ended = opened.engine().commit();
        !ended.ok() && status.code == kNoMoreRecords) {
        status = ended;
    }
    if (status.code != kNoMoreRecords) {
        ui_.showMessage({"Error",
                         entry.label + " could not be read after record " + std::to_string(count) +
                             " : Error " + errorText(status) +
                             "\nUse Repair to recover the records of a damaged file.",
                         MessageIcon::Stop, ButtonOk, ButtonOk});
        return FileOutcome::Failed;
    }
    progress("Releasing Records", 100);
    entry.information = held && !hasUnfinishedChange(located.path)
                            ? "Released: the unfinished change of a program that ended "
                              "abnormally was undone"
                            : "No held records";
    return FileOutcome::Done;
}

FileOutcome Maintenance::info(const Located& located, MaintenanceEntry& entry)
{
    KeyedFile opened{folder_, *located.table, located.container, lockWait_};
    const EngineStatus status = opened.open(kAccessReadOnly, located.path);
    if (status.ok() || status.code == kAlreadyOpen) {
        entry.records = std::to_string(opened.file().records());
        entry.information = located.fullName();
        return FileOutcome::Done;
    }
    entry.records = "?";
    entry.information = missingOrError(located, status);
    return status.code == kFileNotFound ? FileOutcome::Skipped : FileOutcome::Failed;
}

FileOutcome Maintenance::lineAction(MaintenanceAction action, const Located& located,
                                    MaintenanceEntry& entry)
{
    if (action == MaintenanceAction::Fix) {
        if (located.path.empty() || !std::filesystem::exists(located.path)) {
            return FileOutcome::Skipped; // nothing to repair
        }
        ui_.showMessage({"Error",
                         entry.label +
                             " is a text file, not a database file: Repair works only on the "
                             "database files.",
                         MessageIcon::Stop, ButtonOk, ButtonOk});
        return FileOutcome::Failed;
    }
    std::int64_t records = 0;
    EngineStatus status;
    std::string record;
    if (located.kind == Located::Kind::Lines) {
        LineFile file;
        status =
            located.path.empty() ? EngineStatus::error(kFileNotFound) : file.open(located.path);
        while (status.ok() && file.next(record).ok()) {
            ++records;
        }
    } else {
        BlockFile file;
        status =
            located.path.empty() ? EngineStatus::error(kFileNotFound) : file.open(located.path);
        while (status.ok() && file.next(record).ok()) {
            ++records;
        }
    }
    if (!status.ok()) {
        if (action == MaintenanceAction::Info) {
            entry.records = "?";
            entry.information = missingOrError(located, status);
            return status.code == kFileNotFound ? FileOutcome::Skipped : FileOutcome::Failed;
        }
        if (status.code == kFileNotFound) {
            return FileOutcome::Skipped;
        }
        showAccessError(ui_, status);
        return FileOutcome::Failed;
    }
    // A text file has no keys to build and no free space to give back.
    progress(action == MaintenanceAction::Info ? "" : "Done", 100);
    entry.records = std::to_string(records);
    if (action == MaintenanceAction::Info) {
        entry.information = located.path;
    }
    return FileOutcome::Done;
}

} // namespace tessaly

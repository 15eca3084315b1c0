#pragma once

#include "core/record_file.h"
#include "framework/message_manager.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace tessaly {

// Level results of the file manager's operations: 0 done; otherwise the
// level of the message raised (5 notify, 4 cancelled). Fatal messages end
// the program and do not return.
constexpr int kLevelDone = kLevelBenign;

// Opens, reads and writes one record file and reports its failures through
// the standard messages, with the file's name for messages in %File.
class FileManager final {
public:
    FileManager(Engine& engine, const TableDef& table, MessageManager& messages);

    RecordFile& file() { return file_; }
    const TableDef& table() const { return file_.table(); }

    // "Configuration [Configuration]" for a file with a description, the
    // label otherwise.
    std::string name() const;

    void setAccessMode(int mode) { accessMode_ = mode; }
    void setCreate(bool create) { create_ = create; }

    // Opens the file: waits for a lock once, creates a missing file,
    // rebuilds broken keys after the "Invalid Key" notice and falls back to
    // reading only after "Access Denied". Returns 0 when the file is open;
    // failures that cannot be mended are fatal.
    int open();
    // Opens on first use and counts users; close() closes with the last.
    int use();
    void close();
    int users() const { return users_; }

    // Reads the record whose key fields equal those in `record` into it.
    // fetch() reports a failure (message 1); tryFetch() only returns it.
    int fetch(int key, Record& record);
    int tryFetch(int key, Record& record);

    // Adds the record, numbering its automatically numbered field first;
    // a duplicate key raises message 13, any other failure message 4.
    int insert(Record& record);
    // Rewrites the record read before (message 13 or 25 on failure).
    int update(const Record& record);
    // Deletes the record read before (message 11 on failure).
    int remove(const Record& record);
    // Ends a group of writes begun with file().stream().
    // When the group cannot be committed its writes are undone, and message
    // 25 says so as it would for a single failed update.
    int endGroup();
    // Reports a read that failed (a damaged file, say) with message 1, so
    // that a scan never takes a read error for the end of the file.
    int reportReadError(const EngineStatus& status);
    // Reports a failed write of this file as a single insert (message 4) or
    // update (message 25) reports it; 13 for a duplicate key. `fileName`
    // names what was written when it is not the file itself (a batch names
    // its view, "Process:View").
    int reportWriteError(const EngineStatus& status, bool adding, std::string_view fileName = {});

    // Clears the record and sets its automatically numbered field.
    void prime(Record& record);

    // Field and record checks: 0 when valid, else the level of the message
    // raised. The bookmark's category must name a stored category
    // (message 14); `categoryExists` answers that.
    using CategoryLookup = std::function<bool(std::string_view)>;
    void setCategoryLookup(CategoryLookup lookup) { categoryExists_ = std::move(lookup); }
    int validateField(int field, const Record& record);
    // Before reporting a write refused for a bookmark's address: the
    // message then also names the bookmark that holds the address.
    void adviseOnDuplicate(const EngineStatus& status, const Record& record);
    int validateRecord(const Record& record);

private:
    int raise(std::uint16_t number, const EngineStatus& status, std::string_view fileName = {});
    void numberAutomatically(Record& record);
    std::string uniqueKeyName() const;

    RecordFile file_;
    MessageManager& messages_;
    int accessMode_ = kAccessReadWrite;
    bool create_ = true;
    int users_ = 0;
    CategoryLookup categoryExists_;
};

// The files a piece of work needs, each used for as long as it lives. A
// file that cannot be opened (another program holds it, say) has been
// reported by its opening; the work then must not go on, so level() says
// so, and only the files this opened are closed again.
class FilesInUse final {
public:
    FilesInUse(std::initializer_list<FileManager*> files)
    {
        for (FileManager* file : files) {
            if (level_ = file->use(); level_ != kLevelDone) {
                return;
            }
            used_.push_back(file);
        }
    }
    ~FilesInUse()
    {
        for (auto file = used_.rbegin(); file != used_.rend(); ++file) {
            (*file)->close();
        }
    }
    FilesInUse(const FilesInUse&) = delete;
    FilesInUse& operator=(const FilesInUse&) = delete;

    // kLevelDone when every file is open, else what the failed opening gave.
    int level() const { return level_; }

private:
    std::vector<FileManager*> used_;
    int level_ = kLevelDone;
};

} // namespace tessaly

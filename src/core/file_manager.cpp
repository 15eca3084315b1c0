#include "core/file_manager.h"

#include "core/tables.h"
#include "framework/text.h"

namespace tessaly {

namespace {

constexpr std::uint16_t kMsgRetrieveError = 1;
constexpr std::uint16_t kMsgAccessDenied = 2;
constexpr std::uint16_t kMsgInsertError = 4;
constexpr std::uint16_t kMsgCreateError = 10;
constexpr std::uint16_t kMsgDeleteError = 11;
constexpr std::uint16_t kMsgDuplicateKey = 13;
constexpr std::uint16_t kMsgFieldNotInFile = 14;
constexpr std::uint16_t kMsgOpenError = 23;
constexpr std::uint16_t kMsgUpdateError = 25;
constexpr std::uint16_t kMsgKeyNotBuilt = 26;
constexpr std::uint16_t kMsgInvalidKey = 27;

// How long an opening waits for a lock at the most, twice what a window
// waits for each statement.
constexpr int kRecoverWaitMs = 10000;

} // namespace

FileManager::FileManager(Engine& engine, const TableDef& table, MessageManager& messages)
    : file_(engine, table), messages_(messages)
{}

std::string FileManager::name() const
{
    const TableDef& def = file_.table();
    if (!def.description.empty()) {
        return std::string{def.description} + " [" + std::string{def.label} + "]";
    }
    return std::string{def.label};
}

int FileManager::raise(std::uint16_t number, const EngineStatus& status, std::string_view fileName)
{
    MessageManager::setFile(fileName.empty() ? name() : std::string{fileName});
    MessageManager::setError(status.code, status.text);
    MessageManager::setFileError(status.systemCode, status.systemText);
    return messages_.raise(number);
}

int FileManager::open()
{
    MessageManager::setFile(name());
    int mode = accessMode_;
    EngineStatus status;
    for (int attempt = 0; attempt < 2; ++attempt) {
        status = file_.open(mode);
        if (status.code == kAccessDenied || status.code == kFileLocked) {
            // A second try with a longer wait, for this opening only:
            // every later statement keeps the wait the program chose, and a
            // program that waits longer anyway (a script) has had its turn.
            const int usualWait = file_.engine().lockWait();
            if (usualWait < kRecoverWaitMs) {
                file_.send("Recover=" + std::to_string(kRecoverWaitMs / 1000));
                status = file_.open(mode);
                file_.engine().setLockWait(usualWait);
            }
        }
        if (status.ok() || status.code == kAlreadyOpen) {
            return kLevelDone;
        }
        if (status.code == kFileNotFound) {
            if (!create_) {
                break;
            }
            const EngineStatus created = file_.create();
            if (!created.ok()) {
                return raise(kMsgCreateError, created);
            }
            continue;
        }
        if (status.code == kKeyFileInvalid) {
            raise(kMsgInvalidKey, status);
            const EngineStatus built = file_.build();
            if (!built.ok()) {
                return raise(kMsgKeyNotBuilt, built);
            }
            continue;
        }
        if (status.code == kAccessDenied && (mode & 0x0F) != 0) {
            mode &= 0xF0; // keep the sharing, drop the writing
            raise(kMsgAccessDenied, status);
            continue;
        }
        break;
    }
    if (status.code == kFileLocked) {
        // Another program writes for longer than we waited. Ending the
        // program would lose what the user was doing: say so, and let them
        // try again once the other program has finished.
        MessageManager::setError(status.code, status.text);
        MessageManager::setAdvice("Another program is writing to the file. Try again when it has "
                                  "finished.");
        messages_.message(kMsgOpenError, ButtonOk, ButtonOk);
        return kLevelNotify;
    }
    return raise(kMsgOpenError, status);
}

int FileManager::use()
{
    if (users_ == 0 && !file_.isOpen()) {
        const int level = open();
        if (level != kLevelDone) {
            return level;
        }
    }
    ++users_;
    return kLevelDone;
}

void FileManager::close()
{
    if (users_ > 0) {
        --users_;
    }
    if (users_ == 0 && file_.isOpen()) {
        MessageManager::setFile(name());
        file_.close();
    }
}

int FileManager::tryFetch(int key, Record& record)
{
    const EngineStatus status = file_.get(key, record, record);
    return status.ok() ? kLevelDone : kLevelNotify;
}

int FileManager::fetch(int key, Record& record)
{
    const EngineStatus status = file_.get(key, record, record);
    return status.ok() ? kLevelDone : raise(kMsgRetrieveError, status);
}

std::string FileManager::uniqueKeyName() const
{
    for (const KeyDef& key : file_.table().keys) {
        if (key.unique) {
            return std::string{key.description};
        }
    }
    return {};
}

void FileManager::numberAutomatically(Record& record)
{
    const auto& keys = file_.table().keys;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const KeyDef& key = keys[k];
        if (key.autoNumber >= 0) {
            // One past the highest number among rows with the same leading
            // key fields; the first row of a location gets 1.
            const int numbered = key.components[static_cast<std::size_t>(key.autoNumber)].field;
            record.setNumber(numbered, file_.highestNumber(static_cast<int>(k), record) + 1);
        }
    }
}

void FileManager::prime(Record& record)
{
    record.clear();
    record.position = 0;
    numberAutomatically(record);
}

int FileManager::insert(Record& record)
{
    numberAutomatically(record);
    const EngineStatus status = file_.add(record);
    if (status.ok()) {
        return kLevelDone;
    }
    adviseOnDuplicate(status, record);
    return reportWriteError(status, true);
}

int FileManager::update(const Record& record)
{
    const EngineStatus status = file_.put(record);
    if (status.ok()) {
        return kLevelDone;
    }
    adviseOnDuplicate(status, record);
    return reportWriteError(status, false);
}

// A bookmark refused for its address says which stored bookmark holds it,
// so the user knows what to look for.
void FileManager::adviseOnDuplicate(const EngineStatus& status, const Record& record)
{
    if (status.code != kDuplicateKey || &file_.table() != &bookmarkTable()) {
        return;
    }
    Record holder{bookmarkTable()};
    holder.setText(BookmarkField::Location, record.text(BookmarkField::Location));
    if (!file_.get(static_cast<int>(BookmarkKey::Location), holder, holder).ok()) {
        return;
    }
    const std::string_view description = text::clip(holder.text(BookmarkField::Description));
    const std::string_view category = text::clip(holder.text(BookmarkField::Category));
    std::string advice = "The address is stored already";
    if (!description.empty()) {
        advice += " as \"" + std::string{description} + "\"";
    }
    advice += category.empty() ? std::string{" without a category"}
                               : " in the category \"" + std::string{category} + "\"";
    MessageManager::setAdvice(advice + ".");
}

int FileManager::endGroup()
{
    const EngineStatus status = file_.flush();
    return status.ok() ? kLevelDone : raise(kMsgUpdateError, status);
}

int FileManager::reportReadError(const EngineStatus& status)
{
    return raise(kMsgRetrieveError, status);
}

int FileManager::reportWriteError(const EngineStatus& status, bool adding,
                                  std::string_view fileName)
{
    if (status.code == kDuplicateKey) {
        MessageManager::setMessage(uniqueKeyName());
        return raise(kMsgDuplicateKey, status, fileName);
    }
    return raise(adding ? kMsgInsertError : kMsgUpdateError, status, fileName);
}

int FileManager::remove(const Record& record)
{
    const EngineStatus status = file_.remove(record);
    return status.ok() ? kLevelDone : raise(kMsgDeleteError, status);
}

int FileManager::validateField(int field, const Record& record)
{
    if (file_.table().schema->fields()[static_cast<std::size_t>(field)].whole &&
        record.wasCut(field)) {
        // Said before the save rather than as a write error: the user can
        // still mend the address in the form.
        messages_.ui().showMessage(
            {"Address Too Long", addressTooLong(), MessageIcon::Exclamation, ButtonOk, ButtonOk});
        return kLevelNotify;
    }
    if (&file_.table() != &bookmarkTable() || field != static_cast<int>(BookmarkField::Category)) {
        return kLevelDone;
    }
    if (categoryExists_ && categoryExists_(record.text(field))) {
        return kLevelDone;
    }
    MessageManager::setField("Category");
    MessageManager::setMessage("Categories");
    MessageManager::setFile(name());
    MessageManager::setAdvice("Choose one with Browse, or make a new one there.");
    return messages_.raise(kMsgFieldNotInFile);
}

int FileManager::validateRecord(const Record& record)
{
    for (int field = 0; field < file_.table().fieldCount(); ++field) {
        if (const int level = validateField(field, record); level != kLevelDone) {
            return level;
        }
    }
    return kLevelDone;
}

} // namespace tessaly

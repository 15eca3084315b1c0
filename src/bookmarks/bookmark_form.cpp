#include "bookmarks/bookmark_form.h"

#include "core/sqlite.h"
#include "core/tables.h"
#include "framework/text.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

constexpr std::uint16_t kMsgConfirmDelete = 9;

bool fileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Moves the rows of `from` to `to` in a keyword or detail file; a row that
// cannot be moved (its place is taken) is deleted. The first failure that
// is not a taken place ends the move with its status.
EngineStatus moveRows(FileManager& rows, std::string_view from, std::string_view to)
{
    RecordFile& file = rows.file();
    Record start{file.table()};
    start.setText(0, from);
    std::vector<Record> moving;
    file.set(0, start);
    Record row{file.table()};
    EngineStatus status;
    while ((status = file.next(row)).ok() && text::equalNoCase(row.text(0), from)) {
        moving.push_back(row);
    }
    if (!status.ok() && status.code != kNoMoreRecords) {
        return status;
    }
    for (Record& r : moving) {
        // A row keeps its sequence unless the new location has it already.
        r.setText(0, to);
        r.setNumber(1, file.highestNumber(0, r) + 1);
        status = file.put(r);
        if (status.code == kDuplicateKey) {
            status = file.remove(r);
        }
        if (!status.ok()) {
            return status;
        }
    }
    return {};
}

} // namespace

std::string keywordFromLocation(std::string_view location)
{
    const auto scheme = location.find("://");
    if (scheme != std::string_view::npos) {
        return std::string{text::fit(location.substr(0, scheme), 20)};
    }
    if (location.find("mailto:") != std::string_view::npos) {
        return "mailto:";
    }
    return "?";
}

int saveBookmark(Database& database, const Record& original, Record& changed,
                 const FormerLocations& formerLocations, const std::function<int()>& alsoWrite)
{
    FileManager& bookmarks = database.bookmarks();
    if (const int level = bookmarks.validateRecord(changed); level != kLevelDone) {
        return level;
    }
    RelationManager& relations = database.bookmarkRelations();
    if (const int level = relations.open(); level != kLevelDone) {
        return level;
    }
    Engine& engine = database.engine();
    const bool adding = original.position == 0;
    if (const EngineStatus begun = engine.begin(); !begun.ok()) {
        relations.close();
        return bookmarks.reportWriteError(begun, adding);
    }
    const int level = adding ? bookmarks.insert(changed) : relations.update(original, changed);
    if (level != kLevelDone) {
        engine.rollback();
        relations.close();
        return level;
    }
    const std::string final{text::clip(changed.text(BookmarkField::Location))};
    for (const std::string& former : formerLocations) {
        if (text::equalNoCase(former, final) ||
            (!adding && text::equalNoCase(former, original.text(BookmarkField::Location)))) {
            continue; // the relation update moved the rows of the original already
        }
        for (FileManager* rows : {&database.keywords(), &database.details()}) {
            if (const EngineStatus moved = moveRows(*rows, former, final); !moved.ok()) {
                engine.rollback();
                relations.close();
                return rows->reportWriteError(moved, false);
            }
        }
    }
    if (alsoWrite) {
        if (const int written = alsoWrite(); written != kLevelDone) {
            engine.rollback();
            relations.close();
            return written;
        }
    }
    // The commit is where a lock another program holds shows itself: the
    // whole save is undone then, and the form must say so and stay open.
    const EngineStatus committed = engine.commit();
    relations.close();
    return committed.ok() ? kLevelDone : bookmarks.reportWriteError(committed, adding);
}

int deleteBookmark(Database& database, const Record& bookmark)
{
    MessageManager& messages = database.messages();
    const std::string shortcut{text::clip(bookmark.text(BookmarkField::OriginalFilename))};
    if (text::upper(shortcut).find(".URL") != std::string::npos && fileExists(shortcut)) {
        // The shortcut goes on Yes even if the record is then kept.
        if (messages.ui().askYesNo("Remove Link",
                                   "Delete original MSIE shortcut?\n\n" + shortcut)) {
            ::unlink(shortcut.c_str());
        }
    }
    MessageManager::setFile(database.bookmarks().name());
    if (messages.raise(kMsgConfirmDelete) != kLevelBenign) {
        return kLevelCancel;
    }
    RelationManager& relations = database.bookmarkRelations();
    if (const int level = relations.open(); level != kLevelDone) {
        return level;
    }
    const int level = relations.remove(bookmark);
    relations.close();
    return level;
}

} // namespace tessaly

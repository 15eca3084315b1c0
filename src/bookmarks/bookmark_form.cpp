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
                 const std::function<int()>& alsoWrite)
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

#include "bookmarks/dropped_shortcut.h"

#include "core/tables.h"
#include "framework/ini_file.h"
#include "framework/text.h"
#include "framework/utf7.h"

namespace tessaly {

DroppedShortcut readDroppedShortcut(const std::string& path, std::string_view favoritesFolder)
{
    DroppedShortcut shortcut;
    if (text::upper(path).find(".URL") == std::string::npos) {
        return shortcut;
    }
    // An address the ANSI code page cannot hold is kept in UTF-7 under
    // [InternetShortcut.W]; the plain section then holds question marks.
    const std::string wide{text::trim(readIniValue(path, "InternetShortcut.W", "URL"))};
    shortcut.location = wide.empty()
                            ? std::string{text::trim(readIniValue(path, "InternetShortcut", "URL"))}
                            : utf7::decode(wide);
    if (shortcut.location.empty()) {
        return shortcut;
    }
    std::string_view rest = path;
    const std::string_view favorites = text::clip(favoritesFolder);
    const bool inFavorites = !favorites.empty() && rest.starts_with(favorites) &&
                             rest.size() > favorites.size() &&
                             (rest[favorites.size()] == '/' || rest[favorites.size()] == '\\');
    if (inFavorites) {
        rest.remove_prefix(favorites.size() + 1);
    } else if (!rest.empty() && rest.front() == '/') {
        rest.remove_prefix(1); // the root stands where a drive letter would
    }
    shortcut.description = std::string{text::fit(rest, 255)};
    shortcut.category = "Internet Explorer";
    const auto separator = shortcut.description.find_first_of("/\\");
    if (separator != std::string::npos) {
        shortcut.category = std::string{text::fit(shortcut.description.substr(0, separator), 50)};
        shortcut.description = shortcut.description.substr(separator + 1);
    }
    return shortcut;
}

bool addDroppedShortcut(const DroppedShortcut& shortcut, Database& database)
{
    if (text::trim(shortcut.location).empty()) {
        return false;
    }
    if (database.categories().use() != kLevelDone || database.bookmarks().use() != kLevelDone) {
        return false;
    }
    Record category{categoryTable()};
    category.setText(CategoryField::Category, shortcut.category);
    database.categories().file().add(category); // a category that exists stays as it is
    Record bookmark{bookmarkTable()};
    bookmark.setText(BookmarkField::Location, shortcut.location);
    bookmark.setText(BookmarkField::Description, shortcut.description);
    bookmark.setText(BookmarkField::Category, shortcut.category);
    const bool added = database.bookmarks().file().add(bookmark).ok();
    database.bookmarks().close();
    database.categories().close();
    return added;
}

} // namespace tessaly

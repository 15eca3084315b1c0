#pragma once

#include "core/database.h"
#include "core/tables.h"

#include <string_view>

namespace tessaly::test {

// The bookmark stored under `location` as the file holds it now; only the
// location when there is none.
inline Record storedBookmark(Database& database, std::string_view location)
{
    FileManager& bookmarks = database.bookmarks();
    bookmarks.use();
    Record r{bookmarkTable()};
    r.setText(BookmarkField::Location, location);
    bookmarks.tryFetch(static_cast<int>(BookmarkKey::Location), r);
    bookmarks.close();
    return r;
}

// Adds a bookmark of that location and category; the insert's level.
inline int addBookmark(Database& database, std::string_view location,
                       std::string_view category = {})
{
    FileManager& bookmarks = database.bookmarks();
    bookmarks.use();
    Record r{bookmarkTable()};
    r.setText(BookmarkField::Location, location);
    r.setText(BookmarkField::Category, category);
    const int level = bookmarks.insert(r);
    bookmarks.close();
    return level;
}

} // namespace tessaly::test

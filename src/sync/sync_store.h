#pragma once

#include "sync/bookmark_sync.h"

#include <string>
#include <vector>

namespace tessaly {

// The three fields of a stored bookmark a sync reads and writes.
struct StoredBookmark {
    std::string location;
    std::string description;
    std::string category;
};

// The state the last sync of `target` left (rows and the file's ETag);
// empty when there was none. Reads only: the tables are made by the first
// commit. False with `error` when the database cannot be read.
bool readSyncState(Database& database, std::string_view target, std::vector<SyncStateRow>& rows,
                   std::string& etag, std::string& error);

// Every stored bookmark, in no particular order.
bool readStoredBookmarks(Database& database, std::vector<StoredBookmark>& bookmarks,
                         std::string& error);

} // namespace tessaly

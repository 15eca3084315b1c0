#pragma once

#include "core/database.h"
#include "framework/ui_port.h"
#include "import/import_readers.h"

#include <string>
#include <string_view>

namespace tessaly {

// True when `path`, upper-cased, names an earlier version's database
// ("URL_L.TPS"); other files are refused with "Cannot Import".
bool isOldDatabaseName(std::string_view path);

// Copies the location information of an earlier version's database (table
// ImportTESSLY: Location, Description, Category, Rating, Keyword) into the
// bookmark file: each entry whose location is not stored yet becomes a
// bookmark with those five fields; nothing else is taken and no category is
// made. The old file is only read, never converted or written. A file that
// cannot be opened, or holds no such table, is reported with the file-open
// warning ("File Access Error") and copies nothing; the program goes on.
ImportSummary importOldDatabase(Database& database, UiPort& ui, const std::string& path);

} // namespace tessaly

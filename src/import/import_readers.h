#pragma once

#include "core/database.h"
#include "framework/ui_port.h"
#include "import/import_request.h"

#include <string>

namespace tessaly {

// What one import run did. `source` errors (a file that is missing, a folder
// that is none) leave an empty run with `sourceError` saying why.
struct ImportSummary {
    int imported = 0;      // bookmarks added
    int alreadyStored = 0; // bookmarks whose location was stored before
    bool cancelled = false;
    bool failed = false; // a write failed; a message said why
    int linesCut = 0;    // lines longer than 16 MiB, read up to there
    // Bookmarks whose address is longer than kAddressWidth: not stored.
    int addressesTooLong = 0;
    std::string sourceError;
};

// The readers, one per source type. Each reads its source, hands what it
// finds to an ImportSink and returns what was done; none shows the closing
// "Complete" box (runImport does).
ImportSummary importBookmarkFile(Database& database, UiPort& ui, const ImportRequest& request);
ImportSummary importTextFile(Database& database, UiPort& ui, const ImportRequest& request);
ImportSummary importFavorites(Database& database, UiPort& ui, const ImportRequest& request,
                              const std::string& favoritesFolder);
ImportSummary importFirefox(Database& database, UiPort& ui, const ImportRequest& request);
ImportSummary importChromium(Database& database, UiPort& ui, const ImportRequest& request);

} // namespace tessaly

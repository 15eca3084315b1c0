#pragma once

#include "import/import_readers.h"

namespace tessaly {

// Runs one import of any type but "URL" (which the new-bookmark wizard
// does). With `tellUser`, a source that cannot be read is said in a box
// ("Import Error") rather than passed over, and the closing "Complete" box
// is shown: for Favorites always ("n bookmark(s) imported."), for the file
// types when n is not 0 ("n URL(s) imported."), never for "HTML", which
// reports its links in its own progress window as it goes.
ImportSummary runImport(Database& database, UiPort& ui, const ImportRequest& request,
                        const std::string& favoritesFolder, bool tellUser);

} // namespace tessaly

#pragma once

#include "core/database.h"
#include "framework/ui_port.h"
#include "import/import_request.h"

#include <map>
#include <string>
#include <vector>

namespace tessaly {

// Why an entry of a source did not become a bookmark.
enum class SkipReason {
    BrowserQuery, // a browser's stored search ("place:..."), no address
    NoAddress,    // a blank address, or a place in a page ("#...")
    Unreadable,   // a row or tag that could not be read
    TooLong,      // an address longer than an address is kept (kAddressWidth)
};

// An address the import did not take as it stood, for the summary's details.
struct ImportNote {
    std::string what; // "already stored", "skipped: ...", "cut: Description"
    std::string location;
};

// What one import run did. `source` errors (a file that is missing, a folder
// that is none) leave an empty run with `sourceError` saying why; a source
// damaged part way (`damaged`) keeps what was stored before the damage.
struct ImportSummary {
    static constexpr std::size_t kMostNotes = 100;

    int imported = 0;      // bookmarks added
    int alreadyStored = 0; // bookmarks whose location was stored before
    bool cancelled = false;
    bool failed = false; // a write failed; a message said why
    int linesCut = 0;    // lines longer than 16 MiB, read up to there
    // Bookmarks whose address is longer than kAddressWidth: not stored (and
    // counted among the skipped too).
    int addressesTooLong = 0;
    std::map<SkipReason, int> skipped;
    std::map<std::string, int> cut; // field name -> bookmarks stored with it cut
    std::vector<ImportNote> notes;  // the first kMostNotes affected addresses
    bool damaged = false;           // the source stopped being readable part way
    std::string sourceError;

    int skippedTotal() const;
    // Adds a note while there is room for one.
    void note(std::string what, std::string_view location);
};

// What a run did, as the closing message and the command line say it: the
// first line what was imported ("12 URL(s) imported."), then one line each
// for what was stored already, skipped and why, and cut, when there was any.
std::string describeImport(const ImportSummary& summary, std::string_view firstLine);
// Its lines of what was skipped ("5 skipped: 3 browser queries, ...") and
// cut ("Cut to fit their fields: Description in 2 bookmarks."); empty when
// nothing was.
std::string skippedText(const ImportSummary& summary);
std::string cutText(const ImportSummary& summary);
// One affected address as the details say it: "skipped: no address: #top".
std::string describeNote(const ImportNote& note);
// The details part of that message: one affected address a line.
std::string importDetails(const ImportSummary& summary);

// The readers, one per source type. Each reads its source, hands what it
// finds to an ImportSink and returns what was done; none shows the closing
// "Complete" box (runImport does).
ImportSummary importBookmarkFile(Database& database, UiPort& ui, const ImportRequest& request);
ImportSummary importTextFile(Database& database, UiPort& ui, const ImportRequest& request);
ImportSummary importFavorites(Database& database, UiPort& ui, const ImportRequest& request,
                              const std::string& favoritesFolder);
ImportSummary importFirefox(Database& database, UiPort& ui, const ImportRequest& request);
ImportSummary importChromium(Database& database, UiPort& ui, const ImportRequest& request);
ImportSummary importXbel(Database& database, UiPort& ui, const ImportRequest& request);

} // namespace tessaly

#pragma once

#include "sync/xbel_document.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

class Database;

// Keeping the bookmarks in step with one XBEL file that browsers share
// (through their sync extension) on a server. A three-way merge: the state
// of the last sync is kept in the table SyncState of URLDATA (per synced
// bookmark: its id in the file, folder path, title and address, and the
// file's ETag), so each side's changes since then are known. Nothing here
// sends anything over the network: the caller reads the file, asks for a
// plan, writes the plan's file (If-Match the ETag read), and then commits.
//
//   SyncPlan plan;
//   if (!planSync(db, target, file, plan, error)) ...   // changes nothing
//   if (plan.writeFile) PUT plan.newFile (If-Match file.etag), read the new ETag
//   commitSync(db, plan, newEtag, error);                // one transaction
//
// A bookmark of the file gets the name of its innermost folder as category
// (none at the top of the file); a bookmark new in Tessaly goes into the
// first folder in tree order named as its category, else into a new folder
// of that name at the top. Only title, address and category are synced:
// every other field of a bookmark stays in Tessaly as it is.
//
// A process killed between the PUT and the commit leaves the file ahead of
// the database; the next sync finds the same change on both sides and takes
// it as agreed, so it completes the work without a conflict.

// The file as the server gave it.
struct ServerFile {
    bool exists = false; // false: the server has none (404); the first sync makes it
    std::string bytes;
    std::string etag;          // as the server sent it; may be blank
    std::int64_t modified = 0; // Last-Modified in seconds since 1970; 0 unknown
};

enum class SyncSide { Tessaly, File };

// One change the sync makes on one side, for the account and the dry run.
struct SyncChange {
    enum class Kind { Added, Changed, Deleted };
    SyncSide side = SyncSide::Tessaly; // where the change is made
    Kind kind = Kind::Added;
    std::string address;
    std::string title;
    std::string what; // for Changed: "title", "address", "folder", joined by ", "
};

// A bookmark changed on both sides in different ways since the last sync:
// the side whose change was made last wins.
struct SyncConflict {
    std::string address;
    std::string title;
    SyncSide winner = SyncSide::File;
    std::string what; // the fields that differed, or "deleted"
};

// What a sync does (or did), counted each way, as every batch gives it.
struct SyncAccount {
    int addedToFile = 0;
    int changedInFile = 0;
    int deletedFromFile = 0;
    int addedToTessaly = 0;
    int changedInTessaly = 0;
    int deletedFromTessaly = 0;
    std::vector<SyncConflict> conflicts;
    // The server had no file, though an earlier sync had left one: it was
    // made anew from Tessaly's bookmarks. A missing file never means the
    // browsers deleted everything.
    bool fileMadeAnew = false;
    // The server's file holds bookmarks, but not one of the last sync's
    // (by address): another program made it anew. It was synced as at a
    // first sync: nothing deleted in Tessaly, the union written.
    bool otherFile = false;
    // The bookmarks deleted on either side, named.
    std::vector<SyncChange> deletions;
    // Bookmarks of the file Tessaly did not take, because another bookmark
    // holds their address already (the location key ignores letter case,
    // and a browser may keep one address in several folders).
    std::vector<SyncChange> heldAlready;
};

// A change to a Tessaly bookmark the commit makes.
struct TessalyChange {
    SyncChange::Kind kind = SyncChange::Kind::Added;
    std::string oldAddress; // Changed, Deleted: the stored bookmark's address
    std::string address;
    std::string description;
    std::string category;
};

// One synced bookmark as the last sync left it.
struct SyncStateRow {
    std::string serverId;
    // Folder titles from the top, joined by "/"; a "/" or "\" in a title has a
    // "\" before it.
    std::string folderPath;
    std::string title;
    std::string address;
    // The location of the Tessaly bookmark this bookmark of the file is
    // synced to, exactly as stored; blank: none (its address was held by
    // another bookmark already). Only this link lets a deletion in Tessaly
    // delete a bookmark of the file, so a bookmark of the file that Tessaly
    // never took is never deleted for another. Unset: the row was left by a
    // sync that did not record links (see planSync).
    std::optional<std::string> linked;
};

struct SyncPlan {
    std::string target;
    std::string readEtag;   // the ETag of the file the plan was made from
    bool writeFile = false; // false: the file stays as it is; write nothing
    std::string newFile;    // the whole new file, when writeFile
    std::vector<TessalyChange> tessalyChanges;
    std::vector<SyncStateRow> newState;
    std::vector<SyncChange> changes; // each side's changes, in the order made
    // Nothing changed on either side since the last sync, which stored this
    // very state and ETag: a commit with plan.readEtag writes nothing.
    bool nothingToCommit = false;
    SyncAccount account;
};

// The times that decide a conflict: when each side last changed. The file
// wins when they are equal.
struct SyncTimes {
    std::int64_t file = 0;    // the file's Last-Modified (ServerFile::modified)
    std::int64_t tessaly = 0; // the database's last write (databaseModified)
};

// Works out a sync of the bookmarks with `file` for `target` (a name for the
// file the caller chose, such as its address: each target keeps a state of
// its own). Reads the database, changes nothing. False with `error` in words
// for the user when the file is no XBEL or damaged, or the database cannot
// be read.
//
// No file on the server (ServerFile::exists false) is a first sync against
// an empty file, whatever the last sync left: Tessaly deletes nothing, and
// the state of the old file is replaced. A file that is there but holds no
// bookmarks is merged as any other: what it lost since the last sync is
// deleted in Tessaly (and named in the account). A file that holds
// bookmarks but none of the last sync's addresses (letter case ignored) is
// another file than the one synced: a first sync too (SyncAccount::otherFile).
//
// Rows of the last sync without links are linked as that sync linked
// them: to the stored bookmark of their address; of several rows whose
// addresses differ only in letter case, to the one whose address is the
// stored location byte for byte (else the first), and, when Tessaly no
// longer has that bookmark, to none, so that no bookmark of the file is
// deleted for another.
bool planSync(Database& database, std::string_view target, const ServerFile& file,
              const SyncTimes& times, SyncPlan& plan, std::string& error);

// After the PUT of plan.newFile succeeded (or none was needed): makes
// Tessaly's changes and stores the new state with `newEtag` (the file's ETag
// now: read after the PUT, or plan.readEtag) in one transaction. False with
// `error` when it could not be written; then nothing changed.
bool commitSync(Database& database, const SyncPlan& plan, std::string_view newEtag,
                std::string& error);

// What a plan would change on each side, a line each, for --dry-run:
// "File: add "Title" <address>", "Tessaly: change folder of ...", then the
// conflicts and a closing count.
std::string describePlan(const SyncPlan& plan);

// The account as the closing message says it ("Added 3 to the file, ...",
// one line per conflict naming the bookmark and the side that won).
std::string describeAccount(const SyncAccount& account);

// The ETag the last sync of `target` stored, if any.
std::optional<std::string> lastSyncEtag(Database& database, std::string_view target);

// When the data folder's bookmark database was last written (seconds since
// 1970), for SyncTimes::tessaly; 0 unknown.
std::int64_t databaseModified(Database& database);

} // namespace tessaly

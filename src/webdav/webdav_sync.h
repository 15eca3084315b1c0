#pragma once

#include "links/webdav_client.h"
#include "links/webdav_lock.h"
#include "sync/bookmark_sync.h"

#include <chrono>
#include <functional>
#include <string>

namespace tessaly {

class Database;

// Where the user synchronises, as remembered in TESSLY.INI (section
// "Sync"). The password is never among them: it lives in the desktop's
// secret store or is given each time.
struct SyncServerSettings {
    std::string url;
    std::string user;
    std::string file = "bookmarks.xbel";
    int intervalMinutes = 0; // automatic syncs while the program runs; 0: none
};

SyncServerSettings loadSyncSettings(const std::string& iniPath);
// Why the settings cannot name one file in one folder, in the user's words,
// or empty: a folder address with a query or a fragment would put the file
// name inside them, and a name that is empty, holds a "/" or a control
// character, or is "." or "..", would name the folder or its parent.
std::string syncSettingsRefusal(const SyncServerSettings& settings);
// False with the system's words in `error` when the file cannot be written.
bool saveSyncSettings(const SyncServerSettings& settings, const std::string& iniPath,
                      std::string& error);

struct WebDavSyncOptions {
    bool dryRun = false; // plan and describe; no lock, no write, no commit
    HttpLimits limits = HttpLimits::forWholePages(600);
    DavFileLock::Times lockTimes;
    // How long the server takes to give a written file its strong ETag
    // again: a condition on the weak one always fails. The wait after a
    // refused write is this and a random part more (randomisedWait).
    std::chrono::milliseconds settleWait{1200};
    int rounds = 4; // reads and merges again when another writer came between
    // Called between reading the file and writing it back (tests play
    // another writer here).
    std::function<void()> beforeWrite;
};

struct WebDavSyncResult {
    bool ok = false;
    // The failure in the user's words; or, when ok, the account (or for a
    // dry run the plan) as the closing message gives it.
    std::string message;
    SyncAccount account;
    bool wroteFile = false;
};

// One sync of the bookmarks with the account's file: takes the file's lock,
// reads the file, plans with the merge engine, writes the file back only
// when it changes (If-Match the ETag read; If-None-Match: * for a first
// file; from a server that names no ETag, once a read just before finds
// the file unchanged), commits Tessaly's side, and lets the lock go. A writer that came
// between the read and the write makes it read and merge again. On any
// failure neither side is changed beyond what the server took whole.
WebDavSyncResult syncWithServer(Database& database, const DavAccount& account,
                                const WebDavSyncOptions& options = {});

// Whether the account reaches its folder: the words to show either way,
// and false when it does not.
bool testServerConnection(const DavAccount& account, std::string& words,
                          const HttpLimits& limits = HttpLimits::forWholePages(60));

} // namespace tessaly

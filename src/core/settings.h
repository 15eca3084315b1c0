#pragma once

#include "core/file_manager.h"
#include "platform/registry.h"

#include <string>
#include <string_view>

namespace tessaly {

// Enough link tests at once to keep a batch busy while servers think, few
// enough on one site that nobody's server is hammered.
inline constexpr int kDefaultLinkTestJobs = 128;
inline constexpr int kDefaultLinkTestsPerHost = 4;
// A downloaded page may take this much and this long at most.
inline constexpr int kDefaultDownloadMostMB = 1024;
inline constexpr int kDefaultDownloadMostMinutes = 10;

// The user's preferences, read at start-up and kept for the run.
struct Settings {
    std::string theme;                       // read, kept; nothing depends on it
    std::string doubleClickAction;           // "Start URL" or "Edit Record"
    int noTray = 0;                          // 1: minimising leaves the frame in the task bar
    int secure = 0;                          // 1: ask for the password at start-up
    std::string password;                    // as stored: hashPassword()'s text, or blank
    std::string startupBrowse;               // "Location" or "Category"
    std::string favoritesPath;               // at most 255 characters
    int linkTestJobs = kDefaultLinkTestJobs; // link tests waiting on the network at once
    int linkTestsPerHost = kDefaultLinkTestsPerHost; // of those, at most this many on one site
    int downloadMostMB = kDefaultDownloadMostMB;     // one page, in MiB
    int downloadMostMinutes = kDefaultDownloadMostMinutes; // one page, from its request on
};

// The bounds the link-test settings are held to when read: a stored 0 or a
// typing slip in WIN.INI must not stop every test or open thousands of
// connections.
inline constexpr int kMostLinkTestJobs = 256;
inline constexpr int kMostDownloadMB = 1024 * 1024;
inline constexpr int kMostDownloadMinutes = 24 * 60;

// The registry keys where the Favorites folder is looked for, and the
// default when neither has it.
inline constexpr std::string_view kUserShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
inline constexpr std::string_view kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr std::string_view kDefaultFavorites = "C:\\WINDOWS\\FAVORITES";

// Named settings in the Configuration file. A setting without a record falls
// back to the entry of that name in section "Settings" of the platform's
// default INI file (WIN.INI in the data folder), and that fallback, when not
// blank, is stored as the setting's record.
class SettingsStore final {
public:
    SettingsStore(FileManager& configuration, UiPort& ui, const RegistryAccessor& registry,
                  std::string defaultIni = "WIN.INI");

    // The stored value, or the fallback. Read errors other than a missing
    // record show "Error!" and give what the record holds.
    std::string get(std::string_view name, std::string_view fallback);
    // Stores a value, adding its record when needed; write errors show
    // "Error!" and give false.
    bool put(std::string_view name, std::string_view value);

    // Reads every setting into `settings`, each with its current value as
    // the default (StartupBrowse: "Location"; FavoritesPath: the registry's
    // Favorites folder). A password still stored in clear is replaced by its
    // hash here, so the clear text does not outlive the first start. False
    // when the file could not be opened (its box said why): `settings` then
    // stay as they were, rather than a box for every setting.
    bool load(Settings& settings);
    // Writes the settings the Options window edits, in one group: all of
    // them or, when any write or the group's commit fails, none. A failure
    // shows the write-error box and gives false. A password given in clear
    // is stored as its hash.
    bool save(const Settings& settings);

    // The Favorites folder from the registry: the "User Shell Folders" value
    // with its environment references expanded as Wine expands them, else the
    // "Shell Folders" value, else C:\WINDOWS\FAVORITES.
    std::string registryFavorites() const;

private:
    int fetch(Record& record);
    void showWriteError(std::string_view name, const EngineStatus& status);

    FileManager& configuration_;
    UiPort& ui_;
    const RegistryAccessor& registry_;
    std::string defaultIni_;
};

// True when start-up must ask for the password: Secure is set and the
// password is not blank.
bool passwordRequired(const Settings& settings);

// The password check: the typed text, without trailing blanks and in
// capitals, against the stored hash of the password treated the same way
// (so letter case and trailing blanks do not count). A `stored` text that is
// not a hash is compared as a clear password the same way.
bool passwordMatches(std::string_view typed, std::string_view stored);

// The stored form of a password: "pbkdf2-sha256$<iterations>$<salt>$<hash>",
// salt and hash in hex, a fresh random salt each time; blank for a blank
// password. Takes tens of milliseconds on purpose.
std::string hashPassword(std::string_view password);
// Whether `stored` has the form hashPassword() gives.
bool isPasswordHash(std::string_view stored);

} // namespace tessaly

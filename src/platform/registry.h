#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

// Reads values of the user's registry (HKEY_CURRENT_USER). On Linux the
// registry is Wine's: the file user.reg of $WINEPREFIX, else of ~/.wine.
// Errors are never shown: a missing file, key or value gives the default.
class RegistryAccessor final {
public:
    // `prefix` is the Wine prefix folder; empty means $WINEPREFIX or ~/.wine.
    explicit RegistryAccessor(bool silent, std::string prefix = {});

    bool silent() const { return silent_; }
    const std::string& prefix() const { return prefix_; }

    // The value `name` under `key` (e.g. "Software\\Microsoft\\...\\Shell
    // Folders"): the first value whose name, blanks around it removed,
    // equals `name` without regard to case; its text with trailing blanks
    // removed, at most 255 characters. `fallback` when there is none.
    std::string read(std::string_view key, std::string_view name, std::string_view fallback) const;

    // `text` with its "%NAME%" references expanded as Wine expands them: the
    // user's [Environment] and [Volatile Environment] values of user.reg,
    // else Wine's own (USERPROFILE is C:\\users\\<login name>, APPDATA,
    // LOCALAPPDATA, USERNAME, TEMP, ...). Names ignore case. nullopt when a
    // reference names nothing known, so no made-up path is taken for real.
    std::optional<std::string> expandReferences(std::string_view text) const;

    // A Windows path on drive C: as a path inside the prefix's drive_c
    // ("C:\\users\\me\\Favorites" -> "<prefix>/drive_c/users/me/Favorites"),
    // when that folder exists; otherwise the path as it is.
    std::string mapPath(std::string_view windowsPath) const;

private:
    bool silent_;
    std::string prefix_;
};

// Reads one value out of the text of a Wine registry file; exposed for tests.
std::optional<std::string> readWineRegistryValue(std::string_view content, std::string_view key,
                                                 std::string_view name);
// Every text value of one key, names and texts unescaped, in file order.
std::vector<std::pair<std::string, std::string>> readWineRegistryKey(std::string_view content,
                                                                     std::string_view key);

} // namespace tessaly

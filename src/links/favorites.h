#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

class IniFile;

// A file of the Favorites folder, with the address it holds when it is an
// Internet shortcut (empty for any other file).
struct ShortcutEntry {
    std::string path;
    std::string address;

    bool operator==(const ShortcutEntry&) const = default;
};

// The address of an Internet shortcut read as an INI file: the URL value of
// [InternetShortcut.W] when it has one, else that of [InternetShortcut].
std::string shortcutUrl(const IniFile& shortcut);

// Appends every file under `folder` and all its sub-folders (symbolic links
// to folders are not followed, so a loop cannot trap the walk); hidden
// files and folders (names beginning with a dot) are left out. A file whose
// upper-cased name contains ".URL" is read as a shortcut: its shortcutUrl(),
// up to 1023 characters, from its first
// 64 KiB, and only when it is a regular file. Folders that cannot be read
// are passed over. Never blocks on what it finds; safe off the GUI thread.
void walkFavorites(const std::string& folder, std::vector<ShortcutEntry>& list);

// Makes each path that begins with `folder` relative to it (the separator
// after the folder dropped too) and sorts the list by path.
void prepareShortcutList(std::string_view folder, std::vector<ShortcutEntry>& list);

} // namespace tessaly

#include "links/favorites.h"

#include "framework/ini_file.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tessaly {

namespace fs = std::filesystem;

void walkFavorites(const std::string& folder, std::vector<ShortcutEntry>& list)
{
    std::error_code error;
    fs::recursive_directory_iterator it{folder, fs::directory_options::skip_permission_denied,
                                        error};
    for (; !error && it != fs::recursive_directory_iterator{}; it.increment(error)) {
        std::error_code kind;
        if (it->is_directory(kind)) {
            continue;
        }
        ShortcutEntry entry{it->path().string(), {}};
        if (text::upper(it->path().filename().string()).find(".URL") != std::string::npos) {
            entry.address = std::string{utf8::prefix(
                text::trim(readIniValue(entry.path, "InternetShortcut", "URL")), 1023)};
        }
        list.push_back(std::move(entry));
    }
}

void prepareShortcutList(std::string_view folder, std::vector<ShortcutEntry>& list)
{
    const std::string_view root = text::clip(folder);
    for (ShortcutEntry& entry : list) {
        if (!root.empty() && entry.path.starts_with(root)) {
            // A folder given with its trailing separator has none left to drop.
            const std::size_t cut =
                root.size() + (root.ends_with('/') || entry.path.size() == root.size() ? 0 : 1);
            entry.path.erase(0, std::min(cut, entry.path.size()));
        }
    }
    std::sort(list.begin(), list.end(),
              [](const ShortcutEntry& a, const ShortcutEntry& b) { return a.path < b.path; });
}

} // namespace tessaly

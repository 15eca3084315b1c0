#include "import/browser_profiles.h"

#include "framework/ini_file.h"
#include "framework/text.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tessaly {

namespace fs = std::filesystem;

namespace {

bool isFile(const fs::path& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error);
}

std::string inFolder(const std::string& source, std::string_view name)
{
    std::error_code error;
    if (fs::is_directory(source, error)) {
        return (fs::path{source} / name).string();
    }
    return source;
}

void addFirefox(const fs::path& root, std::vector<BrowserProfile>& out)
{
    // profiles.ini names the profiles; folders holding places.sqlite that
    // it does not name are offered too.
    std::vector<fs::path> folders;
    const std::string ini = (root / "profiles.ini").string();
    for (int i = 0; i < 100; ++i) {
        const std::string section = "Profile" + std::to_string(i);
        const std::string path = readIniValue(ini, section, "Path");
        if (path.empty()) {
            continue;
        }
        const bool relative = readIniValue(ini, section, "IsRelative", "1") != "0";
        folders.push_back(relative ? root / path : fs::path{path});
    }
    std::error_code error;
    for (fs::directory_iterator it{root, error}; !error && it != fs::directory_iterator{};
         it.increment(error)) {
        if (std::find(folders.begin(), folders.end(), it->path()) == folders.end()) {
            folders.push_back(it->path());
        }
    }
    for (const fs::path& folder : folders) {
        if (isFile(folder / "places.sqlite")) {
            out.push_back(
                {"Firefox", folder.filename().string(), (folder / "places.sqlite").string(), true});
        }
    }
}

void addChromium(const fs::path& root, std::string_view browser, std::vector<BrowserProfile>& out)
{
    std::vector<fs::path> folders;
    std::error_code error;
    for (fs::directory_iterator it{root, error}; !error && it != fs::directory_iterator{};
         it.increment(error)) {
        if (isFile(it->path() / "Bookmarks")) {
            folders.push_back(it->path());
        }
    }
    std::sort(folders.begin(), folders.end());
    for (const fs::path& folder : folders) {
        out.push_back({std::string{browser}, folder.filename().string(),
                       (folder / "Bookmarks").string(), false});
    }
}

} // namespace

std::vector<BrowserProfile> findBrowserProfiles(const std::string& home)
{
    std::vector<BrowserProfile> profiles;
    const fs::path base{home};
    addFirefox(base / ".mozilla" / "firefox", profiles);
    const std::pair<const char*, const char*> chromiumFamily[] = {
        {"chromium", "Chromium"},
        {"google-chrome", "Google Chrome"},
        {"microsoft-edge", "Microsoft Edge"},
        {"BraveSoftware/Brave-Browser", "Brave"},
    };
    for (const auto& [folder, name] : chromiumFamily) {
        addChromium(base / ".config" / folder, name, profiles);
    }
    return profiles;
}

std::string firefoxPlacesFile(const std::string& source)
{
    return inFolder(source, "places.sqlite");
}

std::string chromiumBookmarksFile(const std::string& source)
{
    return inFolder(source, "Bookmarks");
}

} // namespace tessaly

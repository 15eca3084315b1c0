#pragma once

#include <string>
#include <vector>

namespace tessaly {

// A browser profile whose bookmarks can be imported.
struct BrowserProfile {
    std::string browser; // "Firefox", "Chromium", "Google Chrome", "Microsoft Edge", "Brave"
    std::string name;    // the profile's name ("default-release", "Default", "Profile 1")
    std::string path;    // the file that holds the bookmarks
    bool firefox = false;
};

// The profiles found under `home` (the user's home folder): Firefox's in
// ~/.mozilla/firefox, and those of the browsers that keep Chromium's
// bookmark file in ~/.config. Those that hold no bookmark file are left out.
std::vector<BrowserProfile> findBrowserProfiles(const std::string& home);

// The bookmark file of a profile folder (places.sqlite, Bookmarks), or the
// path itself when it names a file.
std::string firefoxPlacesFile(const std::string& source);
std::string chromiumBookmarksFile(const std::string& source);

} // namespace tessaly

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// An address shown in a browser window, with the window's title.
struct BrowserCandidate {
    std::string title;   // at most 1024 characters
    std::string address; // whole, up to one character more than kAddressWidth

    friend bool operator==(const BrowserCandidate&, const BrowserCandidate&) = default;
};

// Adds a candidate; one with the same address replaces the earlier one.
void addCandidate(std::vector<BrowserCandidate>& candidates, BrowserCandidate candidate);

// The text of a Firefox "mozLz4" file (magic "mozLz40\0", the size as four
// little-endian bytes, one LZ4 block); nothing for a damaged or foreign file.
std::optional<std::string> readMozLz4(const std::string& path);

// The selected tab of each window in a Firefox session store text.
std::vector<BrowserCandidate> sessionCandidates(std::string_view json);

// The candidates of every Firefox profile below `home`
// (.mozilla/firefox/<profile>/sessionstore-backups/recovery.jsonlz4).
std::vector<BrowserCandidate> firefoxCandidates(const std::string& home);

} // namespace tessaly

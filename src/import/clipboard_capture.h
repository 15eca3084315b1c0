#pragma once

#include "core/database.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// A bookmark found in copied text.
struct CapturedBookmark {
    std::string location;
    std::string description; // blank: the default description is given when stored
    std::string category;
    std::string keyword;
    std::string siteInfo;
};

// The most of a copied text the capture looks for addresses in, in
// characters; an address that begins there is read whole.
inline constexpr std::size_t kCapturedTextWidth = 2000;

// Finds every web address in copied text, pass by pass: a heading ("<h1>",
// a bookmark file's "<H3 ADD...") names the category of the link after it;
// a link ("href") gives its target, its text as description and the text
// after it as site information; plain text gives each address beginning
// "http://", "ftp://", "telnet://", "mailto:" or "www." (which gets
// "http://") with the text that follows it as description. Addresses
// without ":" and places in a page ("#...") are passed over. In text that
// holds markup ("<"), character references ("&amp;") are decoded in
// addresses and texts. Every pass consumes text, so any text ends.
std::vector<CapturedBookmark> findCapturedBookmarks(std::string_view text);

// "Added from clipboard Dec 7, 2026 3:20 PM http://..." for a bookmark
// whose text gave no description, at the day and time given.
std::string defaultCaptureDescription(std::string_view location, std::int32_t day,
                                      std::int32_t time);

// Stores what copied text holds: each bookmark whose location is not
// stored yet (letter case ignored), its category made when missing; a
// bookmark that cannot be stored is passed over, as the capture never
// interrupts the user. Counts for the life of the object, as the monitor
// window does. Not thread-safe.
class ClipboardCapture final {
public:
    explicit ClipboardCapture(Database& database) : database_(database) {}

    // The locations added from `text` (its first 2000 characters and the
    // rest of an address begun there), in order.
    std::vector<std::string> capture(std::string_view text, std::int32_t day, std::int32_t time);

    int added() const { return added_; }
    // "Added 3:  http://..." after the last bookmark added.
    const std::string& status() const { return status_; }

private:
    bool store(CapturedBookmark found, std::int32_t day, std::int32_t time);

    Database& database_;
    int added_ = 0;
    std::string status_;
};

} // namespace tessaly

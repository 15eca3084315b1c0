#pragma once

#include "core/database.h"
#include "core/record.h"
#include "platform/launcher.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

// The choices of a bookmark list's "Actions" box, in their order; the list
// starts on "URL".
inline constexpr std::array<std::string_view, 6> kActionChoices = {
    "URL", "Description", "Category", "Keyword", "Rating", "Site Information"};

// What "Copy to clipboard (action)" puts on the clipboard for a choice:
// the field's text without trailing blanks, the rating as a number.
std::string actionText(std::string_view choice, const Record& bookmark);

// Sets the bookmark's last visit to `today` and writes it back, reading it
// again by its location first. Failures are reported by the file manager's
// standard messages; returns its level.
int recordVisit(FileManager& bookmarks, std::string_view location, std::int32_t today);

// "Launch URL": launches the chosen field of the bookmark, recording the
// visit for "URL" (whether or not the launch worked); for "Category",
// "Keyword" and "Rating" it shows "No program associated with <choice>."
// under "Error" and does nothing else. Returns true when a launch started.
bool launchAction(std::string_view choice, const Record& bookmark, FileManager& bookmarks,
                  std::int32_t today, Opener& opener, UiPort& ui);

} // namespace tessaly

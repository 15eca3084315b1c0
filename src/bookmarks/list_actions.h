#pragma once

#include "core/database.h"
#include "core/record.h"
#include "platform/launcher.h"

#include <array>
#include <cstdint>
#include <functional>
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

// Starts a launch of `target`; it may finish later, off the window's
// thread, and reports its own failure (see tryLaunch and launchFailure).
using LaunchStarter = std::function<void(const std::string& target)>;

// "Launch URL": hands the chosen field of the bookmark to `launch`,
// recording the visit for "URL" (whether or not the launch works); for
// "Category", "Keyword" and "Rating" it shows "No program associated with
// <choice>." under "Error" and does nothing else. Returns true when the
// field was handed on.
bool launchAction(std::string_view choice, const Record& bookmark, FileManager& bookmarks,
                  std::int32_t today, const LaunchStarter& launch, UiPort& ui);

} // namespace tessaly

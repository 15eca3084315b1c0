#pragma once

#include "platform/browser_addresses.h"

#include <vector>

namespace tessaly::gui {

// Addresses in the titles of the desktop's top-level windows (X11): a title
// with a word holding "http", "ftp" or "www" gives that word as the address.
// Windows titled "Tessaly 2000" or "New Location" (the program's own) are
// skipped. Nothing without X11.
std::vector<BrowserCandidate> x11TitleCandidates();

// The address in one window title, or empty.
std::string addressInTitle(const std::string& title);

} // namespace tessaly::gui

#pragma once

#include <string>

namespace tessaly::gui {

// Empty when Qt can open windows here; otherwise one sentence that tells the
// user what to do instead of Qt's bare platform-plugin error.
std::string missingDisplayMessage();

} // namespace tessaly::gui

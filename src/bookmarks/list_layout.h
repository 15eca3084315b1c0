#pragma once

#include <optional>
#include <string>

namespace tessaly {

// Which column layout a list shows when it opens: the user's saved layout
// holds only while the program's built-in layout is the one it was saved
// against; otherwise the built-in layout is shown and recorded as the new
// original.
struct LayoutChoice {
    std::string apply;
    bool recordOriginal = false; // write the built-in format as "original"
};

LayoutChoice chooseLayout(const std::string& builtIn,
                          const std::optional<std::string>& savedOriginal,
                          const std::optional<std::string>& savedUser);

// Keys of the saved layout in POSITION.INI, under the window's section.
inline constexpr const char* kLayoutOriginalKey = "SRCFOriginal?Browse:1";
inline constexpr const char* kLayoutUserKey = "SRCF?Browse:1";

} // namespace tessaly

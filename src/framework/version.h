#pragma once

#include <string_view>

namespace tessaly {

inline constexpr std::string_view kProductName = "Tessaly 2000";
inline constexpr std::string_view kProductVersion = "2.4";

} // namespace tessaly

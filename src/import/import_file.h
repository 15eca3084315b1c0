#pragma once

#include "framework/system_file.h"

#include <cstddef>
#include <string>

namespace tessaly {

// The largest file an import reads whole.
inline constexpr std::size_t kLargestWholeSource = std::size_t{64} << 20U;

// Why `path` cannot be an import source: "is a folder" or "is not a regular
// file" (a named pipe or a device, which would block or never end), the
// system's words when it cannot be looked at; empty for a regular file.
std::string notASource(const std::string& path);

// Reads a regular file whole, up to `maxBytes`; anything else is refused
// with notASource()'s words.
SystemResult readWholeSource(const std::string& path, std::string& content,
                             std::size_t maxBytes = kLargestWholeSource);

} // namespace tessaly

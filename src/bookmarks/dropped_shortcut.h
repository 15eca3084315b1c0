#pragma once

#include "core/database.h"

#include <string>
#include <string_view>

namespace tessaly {

// What a .url shortcut dropped on a list becomes.
struct DroppedShortcut {
    std::string location;
    std::string description;
    std::string category;
};

// Reads a dropped file as a bookmark: only names containing ".URL" (any
// case) with a target in [InternetShortcut] URL= count. The path below the
// Favorites folder becomes the description; its first folder, if any, the
// category ("Internet Explorer" for a shortcut directly in the folder). A
// path outside the Favorites folder gives its first component as the
// category. '/' and '\' both separate folders. Empty location: ignore it.
DroppedShortcut readDroppedShortcut(const std::string& path, std::string_view favoritesFolder);

// Stores the shortcut's category (unless it exists) and bookmark (unless
// its location is stored), both silently. True when the bookmark was added.
bool addDroppedShortcut(const DroppedShortcut& shortcut, Database& database);

} // namespace tessaly

#pragma once

#include "core/database.h"

#include <functional>
#include <string>
#include <string_view>

namespace tessaly {

// The keyword the new-bookmark wizard gives a location when the keyword is
// blank: the scheme before "://", else "mailto:", else "?".
std::string keywordFromLocation(std::string_view location);

// Saves a bookmark from its form or wizard: the category must be stored
// (message 14), the bookmark is inserted (`original.position` 0) or
// rewritten through the relation manager, which moves the keyword and
// detail rows of the bookmark's own stored location with it. Rows stored at
// a location merely typed while the form was open belong to another
// bookmark (or to none) and stay where they are. Returns the level of the
// message raised, 0 when saved.
// `alsoWrite`, when given, runs inside the same transaction after the
// bookmark was written (the form writes its keyword and detail rows there)
// and returns the level of the message it raised, 0 when all was written.
// Any failure, the closing commit's included, undoes the whole save and is
// reported (message 4 or 25 for a commit that fails).
int saveBookmark(Database& database, const Record& original, Record& changed,
                 const std::function<int()>& alsoWrite = {});

// A delete request: when the bookmark came from a .url shortcut that still
// exists, asks "Delete original MSIE shortcut?" (deleting it on Yes), then
// asks the standard delete question and deletes the bookmark with its
// keyword and detail rows. Returns 0 when the bookmark was deleted.
int deleteBookmark(Database& database, const Record& bookmark);

} // namespace tessaly

#pragma once

#include "core/tables.h"

#include <optional>
#include <string>
#include <string_view>

namespace tessaly::cli {

// The words every command takes for the bookmark orders and fields, so that
// what one command accepts the others accept too: a script written against
// `list` keeps working when it moves to `export` or `report design`.

// The order spelled `spelling`, trimmed, in any letter case: the key's short
// name (location, description, category or catdesc, catloc, rating,
// keyword), its heading ("Site Location", "Category then Location"...), or
// the field it sorts by with or without "URL:" (URL:Rating). nullopt for
// anything else.
std::optional<BookmarkKey> orderNamed(std::string_view spelling);

// The bookmark field spelled `spelling`, trimmed, in any letter case: its
// name with or without "URL:" (URL:PageSize, pagesize) or its heading in the
// lists and reports ("Page Size"); -1 for anything else.
int bookmarkFieldNamed(std::string_view spelling);

// What a usage message says about ORDER and FIELD: every accepted spelling.
std::string orderSpellings();
std::string fieldSpellings();

} // namespace tessaly::cli

#pragma once

#include <string>
#include <string_view>

// Small pieces of reading the markup of bookmark files and pages, shared by
// the readers of the import.
namespace tessaly::markup {

// Where `needle` (ASCII) stands in `text` from `from` on, letter case of
// A-Z ignored; npos when it does not.
std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);

// True when `text`, leading blanks removed, begins with `start` (ASCII),
// letter case ignored.
bool beginsNoCase(std::string_view text, std::string_view start);

// The value of attribute `name` in the tag text `tag` (`<A HREF="x" TAGS=y>`),
// quoted with double or single quotes or bare, character references decoded;
// empty when the tag has no such attribute.
std::string attribute(std::string_view tag, std::string_view name);

// `text` without leading blanks.
std::string_view skipBlanks(std::string_view text);

} // namespace tessaly::markup

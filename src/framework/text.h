#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text rules shared by every field of the system: fixed widths counted in
// characters, trailing blanks that never matter, and case-insensitive
// comparison that folds every Unicode letter (É equals é), not only A-Z.
namespace tessaly::text {

// True when every byte of `text` is 7-bit ASCII (one byte, one character).
bool isAscii(std::string_view text);

// `text` without its trailing blanks.
std::string_view clip(std::string_view text);

// `text` without leading and trailing blanks, tabs and line ends.
std::string_view trim(std::string_view text);

// `text` cut to at most `width` characters, never splitting a character,
// with trailing blanks removed: what a text(width) field holds.
std::string_view fit(std::string_view text, std::size_t width);

// `text` cut to `width` characters and padded with blanks to exactly that
// width: the field as it stands in a fixed-column file.
std::string padded(std::string_view text, std::size_t width);

// Upper and lower case of every letter (Unicode simple case mapping).
std::string upper(std::string_view text);
std::string lower(std::string_view text);

// Orders two texts by character code with trailing blanks ignored;
// negative, zero or positive like strcmp.
int compare(std::string_view a, std::string_view b);

// The same with letter case folded.
int compareNoCase(std::string_view a, std::string_view b);

inline bool equal(std::string_view a, std::string_view b)
{
    return compare(a, b) == 0;
}

inline bool equalNoCase(std::string_view a, std::string_view b)
{
    return compareNoCase(a, b) == 0;
}

// The case-folded form of one character, as compareNoCase() sees it.
char32_t foldCase(char32_t cp);

// `text` with every character case-folded and trailing blanks removed, as
// well-formed UTF-8: comparing two of these byte by byte orders them as
// compareNoCase() orders the texts. Case-insensitive keys store it.
std::string foldKey(std::string_view text);
// The same, written over `out`: a loop that folds a key for every row keeps
// one string rather than allocating one for each.
void foldKeyInto(std::string_view text, std::string& out);

// True when `text` begins with `start`, letter case folded.
bool startsWithNoCase(std::string_view text, std::string_view start);

} // namespace tessaly::text

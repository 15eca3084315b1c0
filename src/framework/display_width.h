#pragma once

#include <cstddef>
#include <string_view>

// How many places of a fixed-pitch line a text takes, as a terminal or a
// printed column shows it: Chinese, Japanese and Korean characters and the
// other wide and full-width ones take two places, combining marks and
// invisible format characters none, every other character one. Layouts
// that count places (the printed reports' columns) measure with these, so
// a wide character gets the room its glyph needs.
namespace tessaly::display {

// The places character `cp` takes: 0, 1 or 2.
int width(char32_t cp);

// The places `text` takes (UTF-8, malformed bytes read as utf8::decode does).
std::size_t width(std::string_view text);

// The byte length of the longest start of `text` that takes at most
// `places`, with the marks that follow its last character; never splits a
// character. At least one character when `text` is not empty, so a
// character wider than the room still makes progress.
std::size_t fit(std::string_view text, std::size_t places);

} // namespace tessaly::display

#pragma once

#include <string>
#include <string_view>

namespace tessaly {

// One capitalised word that may name a category of a page described by
// `text`: the longest word of letters that is not a little word (HOW,
// WHERE, WHEN, WHAT, WHICH, FTP, HTTP, THE, AND, IF, A), cut to 20 letters;
// the shortest word when all are little; empty for a text without letters.
// "The Online Weather" gives "Weather".
std::string guessCategory(std::string_view text);

} // namespace tessaly

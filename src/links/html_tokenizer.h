#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// The elements of a page: tags and the texts between them, in page order,
// each at most 4095 characters with its line breaks deleted. The caller
// owns the list and clears it before a new page.
using ElementList = std::vector<std::string>;

inline constexpr std::size_t kElementWidth = 4095;

// Appends the elements of `text`: "<" begins an element and ">" ends one; a
// piece of one character is not emitted alone but begins the next piece;
// blank pieces are dropped. An element keeps its first `width` characters.
void tokenize(std::string_view text, ElementList& elements, std::size_t width = kElementWidth);

// The part of `text` before its first double quote, trailing blanks removed.
std::string textBeforeQuote(std::string_view text);

} // namespace tessaly

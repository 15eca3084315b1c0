#pragma once

#include <functional>
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

// The same elements handed one by one to `sink`, as views that last until
// it returns: nothing is kept of an element the sink does not keep.
using ElementSink = std::function<void(std::string_view)>;
void forEachElement(std::string_view text, std::size_t width, const ElementSink& sink);

// The part of `text` before its first double quote, trailing blanks removed.
std::string textBeforeQuote(std::string_view text);

} // namespace tessaly

#include "links/html_tokenizer.h"

#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>

namespace tessaly {

void forEachElement(std::string_view text, std::size_t width, const ElementSink& sink)
{
    // Only a piece that holds a line break is copied (once, into a buffer
    // reused for the next): a page of millions of tags costs no memory.
    std::string withoutBreaks;
    std::size_t start = 0; // 0-based: the first character of the next piece
    // Emits characters [start, end] (inclusive) when there are two or more.
    const auto emit = [&](std::size_t end) {
        if (end == std::string_view::npos || end <= start) {
            return;
        }
        std::string_view piece = utf8::prefix(text.substr(start, end - start + 1), width);
        start = end + 1;
        // Searched a byte at a time: find_first_of would look each byte up
        // in the set of two, a library call per byte of the page.
        if (std::any_of(piece.begin(), piece.end(),
                        [](char c) { return c == '\r' || c == '\n'; })) {
            withoutBreaks.clear();
            for (const char c : piece) {
                if (c != '\r' && c != '\n') {
                    withoutBreaks.push_back(c);
                }
            }
            piece = withoutBreaks;
        }
        if (!text::clip(piece).empty()) {
            sink(piece);
        }
    };
    for (std::size_t p = 0; p < text.size(); ++p) {
        if (text[p] == '<') {
            emit(p == 0 ? std::string_view::npos : p - 1);
        } else if (text[p] == '>') {
            emit(p);
        }
    }
    if (!text.empty()) {
        emit(text.size() - 1);
    }
}

void tokenize(std::string_view text, ElementList& elements, std::size_t width)
{
    forEachElement(text, width,
                   [&elements](std::string_view element) { elements.emplace_back(element); });
}

std::string textBeforeQuote(std::string_view text)
{
    const auto quote = text.find('"');
    return std::string{text::clip(text.substr(0, quote))};
}

} // namespace tessaly

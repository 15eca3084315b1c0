#include "links/html_tokenizer.h"

#include "framework/text.h"
#include "framework/utf8.h"

#include <cstring>

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
        std::string_view piece = text.substr(start, end - start + 1);
        if (piece.size() > width) {
            piece = utf8::prefix(piece, width);
        }
        start = end + 1;
        // One look at each character: whether the piece has a line break,
        // and whether anything but blanks and line breaks is left of it.
        bool breaks = false;
        bool blank = true;
        for (const char c : piece) {
            const bool lineBreak = c == '\r' || c == '\n';
            breaks = breaks || lineBreak;
            blank = blank && (lineBreak || c == ' ');
        }
        if (blank) {
            return;
        }
        if (breaks) {
            withoutBreaks.clear();
            for (const char c : piece) {
                if (c != '\r' && c != '\n') {
                    withoutBreaks.push_back(c);
                }
            }
            piece = withoutBreaks;
        }
        sink(piece);
    };
    if (text.empty()) {
        return;
    }
    // The angle brackets are found with memchr, which goes through a block
    // many bytes at a time; most of a page lies between them.
    const auto next = [&text](std::size_t from, char c) {
        const void* at = std::memchr(text.data() + from, c, text.size() - from);
        return at == nullptr ? text.size()
                             : static_cast<std::size_t>(static_cast<const char*>(at) - text.data());
    };
    std::size_t opening = next(0, '<');
    std::size_t closing = next(0, '>');
    while (opening < text.size() || closing < text.size()) {
        if (opening < closing) {
            emit(opening == 0 ? std::string_view::npos : opening - 1);
            opening = next(opening + 1, '<');
        } else {
            emit(closing);
            closing = next(closing + 1, '>');
        }
    }
    emit(text.size() - 1);
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

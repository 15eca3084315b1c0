#include "links/html_tokenizer.h"

#include "framework/text.h"
#include "framework/utf8.h"

namespace tessaly {

void tokenize(std::string_view text, ElementList& elements, std::size_t width)
{
    std::size_t start = 0; // 0-based: the first character of the next piece
    // Emits characters [start, end] (inclusive) when there are two or more.
    const auto emit = [&](std::size_t end) {
        if (end == std::string_view::npos || end <= start) {
            return;
        }
        std::string piece;
        for (const char c : utf8::prefix(text.substr(start, end - start + 1), width)) {
            if (c != '\r' && c != '\n') {
                piece.push_back(c);
            }
        }
        if (!text::clip(piece).empty()) {
            elements.push_back(std::move(piece));
        }
        start = end + 1;
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

std::string textBeforeQuote(std::string_view text)
{
    const auto quote = text.find('"');
    return std::string{text::clip(text.substr(0, quote))};
}

} // namespace tessaly

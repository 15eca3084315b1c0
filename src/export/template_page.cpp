#include "export/template_page.h"

#include "framework/text.h"
#include "framework/utf8.h"
#include "links/html_tokenizer.h"

#include <algorithm>

namespace tessaly {

namespace {

char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// `token` in `text`, ASCII letters in any case; npos when absent.
std::size_t findNoCase(std::string_view text, std::string_view token)
{
    const auto found = std::search(text.begin(), text.end(), token.begin(), token.end(),
                                   [](char a, char b) { return upperAscii(a) == upperAscii(b); });
    return found == text.end() ? std::string_view::npos
                               : static_cast<std::size_t>(found - text.begin());
}

bool startsWithAscii(std::string_view text, std::string_view start)
{
    return text.size() >= start.size() && findNoCase(text.substr(0, start.size()), start) == 0;
}

bool holds(const PageElement& element, std::string_view marker)
{
    return findToken(element, marker) != std::string::npos;
}

} // namespace

std::size_t findToken(const PageElement& element, std::string_view token)
{
    const std::string_view text = element.text;
    std::size_t gap = 0;
    for (std::size_t i = 0; i <= element.filled.size(); ++i) {
        const std::size_t gapEnd =
            i < element.filled.size() ? element.filled[i].first : text.size();
        if (const std::size_t at = findNoCase(text.substr(gap, gapEnd - gap), token);
            at != std::string_view::npos) {
            return gap + at;
        }
        if (i < element.filled.size()) {
            gap = element.filled[i].second;
        }
    }
    return std::string::npos;
}

void fillIn(PageElement& element, std::size_t at, std::size_t length, std::string_view value)
{
    element.text.replace(at, length, value);
    auto insertAt = element.filled.begin();
    for (auto range = element.filled.begin(); range != element.filled.end(); ++range) {
        if (range->first >= at + length) {
            range->first = range->first - length + value.size();
            range->second = range->second - length + value.size();
        } else {
            insertAt = range + 1;
        }
    }
    if (!value.empty()) {
        element.filled.insert(insertAt, {at, at + value.size()});
    }
}

PageElement slice(const PageElement& element, std::size_t begin, std::size_t end)
{
    PageElement part{element.text.substr(begin, end - begin), {}};
    for (const auto& [first, second] : element.filled) {
        if (first >= begin && second <= end) {
            part.filled.emplace_back(first - begin, second - begin);
        }
    }
    return part;
}

bool mayHoldToken(const PageElement& element)
{
    return holds(element, "(URL:") || holds(element, "<!--URL:");
}

PageElements templateElements(std::string_view text)
{
    PageElements elements;
    ElementList tokens;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        tokens.clear();
        tokenize(text.substr(pos, end - pos), tokens);
        for (std::string& token : tokens) {
            elements.push_back({std::move(token), {}});
        }
        pos = end + 1;
    }
    return elements;
}

TemplateSections splitSections(const PageElements& elements, bool grouped)
{
    TemplateSections sections;
    PageElements* current = &sections.head;
    for (const PageElement& element : elements) {
        // The longer markers first: "<!--URL:BEGINCAT-->" is no
        // "<!--URL:BEGIN-->", but a marker may stand anywhere in an element.
        if (grouped && holds(element, "<!--URL:BEGINCAT-->")) {
            current = &sections.categoryHead;
        } else if (grouped && holds(element, "<!--URL:ENDCAT-->")) {
            current = &sections.foot;
        } else if (holds(element, "<!--URL:BEGIN-->")) {
            current = &sections.bookmark;
            if (grouped) {
                continue;
            }
        } else if (holds(element, "<!--URL:END-->")) {
            current = grouped ? &sections.categoryFoot : &sections.foot;
            if (grouped) {
                continue;
            }
        }
        current->push_back(element);
    }
    return sections;
}

LineJoiner::LineJoiner(std::function<void(std::string_view)> line) : line_(std::move(line))
{}

void LineJoiner::flush()
{
    if (!text::clip(text_).empty()) {
        line_(text_);
    }
    text_.clear();
    characters_ = 0;
}

void LineJoiner::add(const PageElement& element)
{
    const std::string_view piece = text::clip(element.text);
    const std::size_t length = utf8::length(piece);
    if (characters_ > 512 || characters_ + length >= 1024) {
        flush();
    }
    text_ += piece;
    characters_ += length;
    if (startsWithAscii(piece, "</") || startsWithAscii(piece, "<F") ||
        startsWithAscii(piece, "<M")) {
        flush();
    }
}

void joinLines(const PageElements& elements, const std::function<void(std::string_view)>& line)
{
    LineJoiner joiner{line};
    for (const PageElement& element : elements) {
        joiner.add(element);
    }
    joiner.flush();
}

} // namespace tessaly

#include "import/markup.h"

#include "framework/html_text.h"

#include <algorithm>

namespace tessaly::markup {

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

} // namespace

std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from)
{
    if (needle.empty() || needle.size() > text.size()) {
        return std::string_view::npos;
    }
    // Bookmark files have lines of many kilobytes: a needle that begins
    // with a mark ("<DL") is found by the library's byte search, one that
    // begins with a letter by two such searches, one for each case.
    const char first = lowerAscii(needle[0]);
    const bool letter = first >= 'a' && first <= 'z';
    const char firstUpper = letter ? static_cast<char>(first - 32) : first;
    const std::size_t last = text.size() - needle.size();
    std::size_t i = from;
    // The small letter found is kept until the search passes it: a line of
    // capitals that do not begin the needle would otherwise search again,
    // at each of them, all the way to a small letter far off.
    std::size_t lowerAt = text.find(first, from);
    while (i <= last) {
        const std::size_t start = i;
        if (lowerAt < start) {
            lowerAt = text.find(first, start);
        }
        i = lowerAt;
        if (letter) {
            // The capital is looked for only before the small letter found.
            const std::size_t end = lowerAt == std::string_view::npos ? text.size() : lowerAt;
            if (const std::size_t upperAt = text.substr(0, end).find(firstUpper, start);
                upperAt != std::string_view::npos) {
                i = upperAt;
            }
        }
        if (i == std::string_view::npos || i > last) {
            return std::string_view::npos;
        }
        std::size_t j = 1;
        while (j < needle.size() && lowerAscii(text[i + j]) == lowerAscii(needle[j])) {
            ++j;
        }
        if (j == needle.size()) {
            return i;
        }
        ++i;
    }
    return std::string_view::npos;
}

bool beginsNoCase(std::string_view text, std::string_view start)
{
    text = skipBlanks(text);
    return text.size() >= start.size() && findNoCase(text.substr(0, start.size()), start) == 0;
}

std::string_view skipBlanks(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    return text.substr(i);
}

std::string attribute(std::string_view tag, std::string_view name)
{
    std::size_t at = 0;
    while ((at = findNoCase(tag, name, at)) != std::string_view::npos) {
        const bool starts = at > 0 && isSpace(tag[at - 1]);
        std::size_t pos = at + name.size();
        at = pos;
        while (pos < tag.size() && isSpace(tag[pos])) {
            ++pos;
        }
        if (!starts || pos >= tag.size() || tag[pos] != '=') {
            continue;
        }
        ++pos;
        while (pos < tag.size() && isSpace(tag[pos])) {
            ++pos;
        }
        if (pos < tag.size() && (tag[pos] == '"' || tag[pos] == '\'')) {
            const char quote = tag[pos];
            const std::size_t end = tag.find(quote, pos + 1);
            return html::decodeReferences(
                tag.substr(pos + 1, (end == std::string_view::npos ? tag.size() : end) - pos - 1));
        }
        std::size_t end = pos;
        while (end < tag.size() && !isSpace(tag[end]) && tag[end] != '>') {
            ++end;
        }
        return html::decodeReferences(tag.substr(pos, end - pos));
    }
    return {};
}

} // namespace tessaly::markup

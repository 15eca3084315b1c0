#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

// One element of a page built from a template: a tag or a text of the
// template, into which replacement tokens put their values. What a token
// put in is never read for tokens again: a description that reads
// "(URL:Password)" stays that text and cannot call up the site password.
struct PageElement {
    std::string text;
    // Byte ranges [first, second) of `text` that values fill, in order.
    std::vector<std::pair<std::size_t, std::size_t>> filled;
};
using PageElements = std::vector<PageElement>;

// Where `token` (upper-case ASCII, matched in any letter case) first stands
// in the template's own text of `element`; npos when it does not.
std::size_t findToken(const PageElement& element, std::string_view token);

// Replaces `length` bytes at `at` by `value`, which counts as filled in.
void fillIn(PageElement& element, std::size_t at, std::size_t length, std::string_view value);

// The part of `element` from `begin` to `end` (bytes), with its filled
// ranges.
PageElement slice(const PageElement& element, std::size_t begin, std::size_t end);

// Whether the template's own text of `element` may still hold a token.
bool mayHoldToken(const PageElement& element);

// The elements of a template's text: every line tokenized by itself, its
// carriage returns and line feeds removed.
PageElements templateElements(std::string_view text);

// The sections of a main template, cut by the marker comments. Grouped
// orders: A page head, B category head, C bookmark, D category foot, E page
// foot. Flat orders use A, C and E.
struct TemplateSections {
    PageElements head;
    PageElements categoryHead;
    PageElements bookmark;
    PageElements categoryFoot;
    PageElements foot;
};
TemplateSections splitSections(const PageElements& elements, bool grouped);

// Joins the elements into the lines of a page: each element without its
// trailing blanks and with nothing between; a line is ended before an
// element when it is longer than 512 characters or the element would make
// it 1024 or more, and after an element that begins with "</", "<f" or
// "<m". Blank lines are left out.
void joinLines(const PageElements& elements, const std::function<void(std::string_view)>& line);

// The same for a page that arrives an element at a time: flush() ends it.
class LineJoiner final {
public:
    explicit LineJoiner(std::function<void(std::string_view)> line);
    void add(const PageElement& element);
    void flush();

private:
    std::function<void(std::string_view)> line_;
    std::string text_;
    std::size_t characters_ = 0;
};

} // namespace tessaly

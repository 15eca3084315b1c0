#include "import/html_list_import.h"

#include "core/tables.h"
#include "framework/html_text.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "import/category_guess.h"
#include "import/markup.h"

namespace tessaly {

namespace {

constexpr std::size_t kSlice = 500;
constexpr int kFurtherTexts = 10;

// Removes `c` from the start as often as it stands there and cuts the text
// before its next occurrence.
void trimAt(std::string& target, char c)
{
    const std::size_t start = target.find_first_not_of(c);
    target.erase(0, start == std::string::npos ? target.size() : start);
    if (const std::size_t next = target.find(c); next != std::string::npos) {
        target.erase(next);
    }
}

std::string lowerAscii(std::string_view text)
{
    std::string out{text};
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    return out;
}

// A list number before a title ("12. Title", "##. Title") is no part of it.
std::string withoutListNumber(std::string description)
{
    const std::size_t dot = description.find(". ");
    if (dot == 0) {
        return description.substr(1);
    }
    if (dot != std::string::npos && dot >= 1 && dot <= 4) {
        const auto number = parseNumber(description.substr(0, dot));
        if ((number && *number > 0) || description.starts_with("##")) {
            return description.substr(dot + 2);
        }
    }
    return description;
}

} // namespace

std::string linkTarget(std::string_view element)
{
    const std::string lower = lowerAscii(element);
    std::string target;
    std::size_t at = std::string::npos;
    for (const char* scheme : {"http:", "ftp:", "mailto:"}) {
        if ((at = lower.find(scheme)) != std::string::npos) {
            target = std::string{element.substr(at)};
            break;
        }
    }
    if (at == std::string::npos) {
        for (const char* name : {"href", "action"}) {
            const std::size_t word = lower.find(name);
            const std::size_t equals =
                word == std::string::npos ? std::string::npos : lower.find('=', word);
            if (equals != std::string::npos) {
                target = std::string{element.substr(equals + 1)};
                break;
            }
        }
    }
    // Single quotes close a value as double ones do.
    for (const char c : {'"', '\'', '>', '<'}) {
        trimAt(target, c);
    }
    return target;
}

void importHtmlList(const ElementList& elements, ImportSink& sink)
{
    std::size_t i = 0;
    std::size_t sliceEnd = 0;
    while (i < elements.size()) {
        if (i >= sliceEnd) {
            sliceEnd = i + kSlice;
            const double done = static_cast<double>(i) / static_cast<double>(elements.size());
            if (!sink.keepGoing(done, std::to_string(elements.size() - i) + " items remaining.")) {
                return;
            }
        }
        const std::string& element = elements[i++];
        if (!element.starts_with('<')) {
            continue;
        }
        const std::string target{text::trim(html::decodeReferences(linkTarget(element)))};
        if (target.empty()) {
            continue;
        }
        std::string description;
        std::string siteInfo;
        bool described = false;
        int further = 0;
        while (i < elements.size()) {
            const std::string& next = elements[i];
            if (next.starts_with('<')) {
                if (markup::findNoCase(next, "</table>") == 0 || !linkTarget(next).empty()) {
                    break; // the next link begins with this element
                }
                ++i;
                continue;
            }
            ++i;
            const std::string plain = html::decodeReferences(next);
            if (!described) {
                described = true;
                siteInfo = plain;
                description = withoutListNumber(plain);
            } else {
                siteInfo += " " + plain;
                if (++further == kFurtherTexts) {
                    break;
                }
            }
        }
        if (target.starts_with('#')) {
            sink.skip(SkipReason::NoAddress, target);
            continue;
        }
        Record bookmark{bookmarkTable()};
        sink.setText(bookmark, BookmarkField::Location, target);
        sink.setText(bookmark, BookmarkField::Description,
                     text::trim(description).empty() ? target : text::trim(description));
        sink.setText(bookmark, BookmarkField::SiteInfo, text::trim(siteInfo));
        std::string sourceCategory;
        switch (sink.request().assignment) {
        case CategoryAssignment::Guess: {
            const std::string guess = guessCategory(bookmark.text(BookmarkField::Description));
            sourceCategory = "New - " + text::upper(utf8::prefix(guess, 1));
            break;
        }
        case CategoryAssignment::Ask:
            sourceCategory = sink.lastCategory();
            break;
        default:
            break;
        }
        if (sink.add(bookmark, sourceCategory) == AddResult::Failed) {
            return;
        }
    }
    sink.keepGoing(1.0, "0 items remaining.");
}

} // namespace tessaly

// The changes the program makes to an XBEL file, and writing it back: what
// was not changed is copied from the bytes read, so positions, ids, comments
// and elements the program does not know stay exactly as they were.
#include "sync/xbel_document.h"

#include "framework/utf8.h"

#include <algorithm>

namespace tessaly {

namespace {

constexpr std::string_view kHighestIdLine = "<!--- highestId :";
constexpr std::string_view kHighestIdEnd = ": for Floccus bookmark sync browser extension -->";
constexpr std::string_view kDoctype =
    R"(<!DOCTYPE xbel PUBLIC "+//IDN python.org//DTD XML Bookmark Exchange Language 1.0//EN//XML" "http://pyxml.sourceforge.net/topics/dtds/xbel.dtd">)";

bool isBlankText(std::string_view text)
{
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Whether XML 1.0 can hold the character at all.
bool xmlCharacter(char32_t c)
{
    return c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c < 0xD800) ||
           (c >= 0xE000 && c < 0xFFFE) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Text for XML: markup characters as references, characters XML 1.0 cannot
// hold dropped, and (for a file not in UTF-8) everything beyond ASCII as a
// numeric reference, which any encoding reads the same.
std::string escapeXml(std::string_view text, bool attribute, bool utf8)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t at = pos;
        const char32_t c = utf8::decode(text, pos);
        switch (c) {
        case '&':
            out += "&amp;";
            continue;
        case '<':
            out += "&lt;";
            continue;
        case '>':
            out += "&gt;";
            continue;
        default:
            break;
        }
        // An apostrophe too: a value written into an href the file quoted
        // with apostrophes would end there.
        if (attribute && (c == '"' || c == '\'' || c == '\n' || c == '\r' || c == '\t')) {
            out += c == '"'    ? "&quot;"
                   : c == '\'' ? "&#39;"
                   : c == '\n' ? "&#10;"
                   : c == '\r' ? "&#13;"
                               : "&#9;";
            continue;
        }
        if (!xmlCharacter(c)) {
            continue;
        }
        if (c >= 0x80 && !utf8) {
            out += "&#" + std::to_string(static_cast<std::uint32_t>(c)) + ";";
        } else {
            out += text.substr(at, pos - at);
        }
    }
    return out;
}

} // namespace

// One write of the document: the changes as patches on the bytes read, and
// the tree walked in its present order.
class XbelDocument::Writer {
public:
    explicit Writer(const XbelDocument& document) : doc_(document) { collectPatches(); }

    std::string write()
    {
        out_.reserve(doc_.source_.size() + doc_.source_.size() / 8 + 256);
        const Place& top = doc_.top_;
        if (!doc_.dirty_[0]) {
            copy(0, doc_.source_.size());
            return std::move(out_);
        }
        copy(0, top.open);
        if (top.empty) {
            out_.pop_back(); // "/>" becomes ">" ... "</xbel>"
            out_.pop_back();
            out_ += '>';
            if (doc_.highestId_.end == 0) {
                out_ += highestIdLine();
            }
        }
        children(-1);
        if (top.empty) {
            out_ += "\n</xbel>";
        }
        copy(top.close, doc_.source_.size());
        return std::move(out_);
    }

private:
    void collectPatches()
    {
        const auto& items = doc_.items_;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Place& place = doc_.places_[i];
            if (place.element.end == 0) {
                continue; // added: written whole
            }
            if (doc_.hrefEdited_[i]) {
                const std::string value = escapeXml(items[i].href, true, doc_.utf8_);
                if (place.href.end != 0) {
                    patches_.push_back({place.href, value});
                } else {
                    const std::size_t at = place.open - (place.empty ? 2 : 1);
                    patches_.push_back({{at, at}, " href=\"" + value + "\""});
                }
            }
            if (doc_.titleEdited_[i] && !place.empty) {
                const std::string value = escapeXml(items[i].title, false, doc_.utf8_);
                if (place.title.end != 0) {
                    patches_.push_back({place.title, value});
                } else {
                    patches_.push_back({{place.open, place.open}, "<title>" + value + "</title>"});
                }
            }
        }
        const std::string highest = std::to_string(doc_.nextId_ - 1);
        if (doc_.highestId_.end != 0) {
            const std::string_view now = std::string_view{doc_.source_}.substr(
                doc_.highestId_.begin, doc_.highestId_.end - doc_.highestId_.begin);
            if (now != highest) {
                patches_.push_back({doc_.highestId_, highest});
            }
        } else if (!doc_.top_.empty) {
            // The browsers' sync extension takes its next id from this line.
            patches_.push_back({{doc_.top_.open, doc_.top_.open}, highestIdLine()});
        }
        std::stable_sort(patches_.begin(), patches_.end(), [](const Patch& a, const Patch& b) {
            return a.span.begin < b.span.begin;
        });
        applied_.assign(patches_.size(), 0);
    }

    std::string highestIdLine() const
    {
        return "\n" + XbelDocument::highestIdLine(doc_.nextId_ - 1);
    }

    // Copies [begin, end) of the bytes read with the patches inside it.
    void copy(std::size_t begin, std::size_t end)
    {
        auto it = std::lower_bound(
            patches_.begin(), patches_.end(), begin,
            [](const Patch& patch, std::size_t at) { return patch.span.begin < at; });
        std::size_t at = begin;
        for (; it != patches_.end() && it->span.begin <= end; ++it) {
            auto& applied = applied_[static_cast<std::size_t>(it - patches_.begin())];
            const bool insertion = it->span.begin == it->span.end;
            if (applied || (!insertion && it->span.end > end) ||
                (!insertion && it->span.begin == end)) {
                continue;
            }
            out_.append(doc_.source_, at, it->span.begin - at);
            out_ += it->text;
            applied = 1;
            at = it->span.end;
        }
        out_.append(doc_.source_, at, end - at);
    }

    // Where the blanks at the end of [begin, end) begin.
    std::size_t blanksBefore(std::size_t begin, std::size_t end) const
    {
        while (end > begin && isBlankText(std::string_view{doc_.source_}.substr(end - 1, 1))) {
            --end;
        }
        return end;
    }

    // The blank text that goes before each item written into `folder`.
    std::string indent(int folder) const
    {
        const Place& place =
            folder < 0 ? doc_.top_ : doc_.places_[static_cast<std::size_t>(folder)];
        if (place.element.end != 0 && !place.read.empty()) {
            const Place& first = doc_.places_[static_cast<std::size_t>(place.read.front())];
            std::size_t from = first.element.begin;
            while (from > place.open && isBlankText(doc_.source_.substr(from - 1, 1))) {
                --from;
            }
            return doc_.source_.substr(from, first.element.begin - from);
        }
        if (folder < 0) {
            return "\n";
        }
        std::string outer = indent(doc_.items_[static_cast<std::size_t>(folder)].parent);
        if (outer.find('\n') != std::string::npos) {
            outer += "  ";
        }
        return outer;
    }

    // What `folder` holds: the items read in it, in place (with the bytes
    // between them), then those moved or added into it.
    void children(int folder)
    {
        const Place& place =
            folder < 0 ? doc_.top_ : doc_.places_[static_cast<std::size_t>(folder)];
        std::size_t cursor = place.open;
        if (!place.empty) {
            for (const int child : place.read) {
                const Item& item = doc_.items_[static_cast<std::size_t>(child)];
                const Place& at = doc_.places_[static_cast<std::size_t>(child)];
                const bool stays = !item.removed && item.parent == folder;
                // The blanks before an item that left go with it; what more
                // stood there (a comment, an element we keep) stays.
                if (stays) {
                    copy(cursor, at.element.begin);
                    item_(child);
                } else {
                    copy(cursor, blanksBefore(cursor, at.element.begin));
                }
                cursor = at.element.end;
            }
        }
        const std::vector<int>& added = doc_.appended_[static_cast<std::size_t>(folder + 1)];
        const std::size_t close = place.empty ? cursor : place.close;
        const std::size_t trailing = blanksBefore(cursor, close);
        copy(cursor, trailing);
        if (!added.empty()) {
            const std::string before = indent(folder);
            for (const int child : added) {
                out_ += before;
                item_(child);
            }
        }
        copy(trailing, close);
    }

    void item_(int index)
    {
        const auto i = static_cast<std::size_t>(index);
        const Item& item = doc_.items_[i];
        const Place& place = doc_.places_[i];
        const std::string_view name = item.folder ? "folder" : "bookmark";
        if (place.element.end == 0) {
            fresh(index);
            return;
        }
        const bool grows = place.empty && (doc_.titleEdited_[i] || doc_.dirty_[i + 1]);
        if (!grows && (!item.folder || !doc_.dirty_[i + 1])) {
            copy(place.element.begin, place.element.end);
            return;
        }
        copy(place.element.begin, place.open - (place.empty ? 2 : 0));
        if (place.empty) {
            out_ += '>';
            if (doc_.titleEdited_[i]) {
                out_ += "<title>" + escapeXml(item.title, false, doc_.utf8_) + "</title>";
            }
        }
        if (item.folder) {
            children(index);
        }
        if (place.empty) {
            if (!doc_.appended_[i + 1].empty()) {
                out_ += indent(item.parent);
            }
            out_ += "</";
            out_ += name;
            out_ += '>';
            return;
        }
        copy(place.close, place.element.end);
    }

    // An item the program added, written as the sync extension writes one.
    void fresh(int index)
    {
        const auto i = static_cast<std::size_t>(index);
        const Item& item = doc_.items_[i];
        const std::string title = escapeXml(item.title, false, doc_.utf8_);
        if (!item.folder) {
            out_ += "<bookmark href=\"" + escapeXml(item.href, true, doc_.utf8_) + "\" id=\"" +
                    item.id + "\"><title>" + title + "</title></bookmark>";
            return;
        }
        out_ += "<folder id=\"" + item.id + "\"><title>" + title + "</title>";
        const std::vector<int>& added = doc_.appended_[i + 1];
        if (!added.empty()) {
            const std::string before = indent(index);
            for (const int child : added) {
                out_ += before;
                item_(child);
            }
            out_ += indent(item.parent);
        }
        out_ += "</folder>";
    }

    const XbelDocument& doc_;
    std::vector<Patch> patches_;
    std::vector<char> applied_;
    std::string out_;
};

std::string XbelDocument::escape(std::string_view text, bool attribute)
{
    return escapeXml(text, attribute, true);
}

std::string XbelDocument::holdable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t at = pos;
        if (xmlCharacter(utf8::decode(text, pos))) {
            out += text.substr(at, pos - at);
        }
    }
    return out;
}

std::string XbelDocument::highestIdLine(std::uint64_t highest)
{
    return std::string{kHighestIdLine} + std::to_string(highest) + std::string{kHighestIdEnd};
}

std::string_view XbelDocument::doctype()
{
    return kDoctype;
}

XbelDocument XbelDocument::empty()
{
    std::string error;
    std::string bytes{kDeclaration};
    bytes += '\n';
    bytes += kDoctype;
    bytes += "\n<xbel version=\"1.0\">\n";
    bytes += highestIdLine(0);
    bytes += "\n</xbel>";
    return *parse(bytes, error);
}

std::vector<std::string> XbelDocument::folderPath(int index) const
{
    std::vector<std::string> path;
    for (int at = items_[static_cast<std::size_t>(index)].parent; at >= 0;
         at = items_[static_cast<std::size_t>(at)].parent) {
        path.push_back(items_[static_cast<std::size_t>(at)].title);
    }
    std::reverse(path.begin(), path.end());
    return path;
}

int XbelDocument::findFolder(std::string_view title) const
{
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].folder && !items_[i].removed && items_[i].title == title) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void XbelDocument::touch(int folder)
{
    changed_ = true;
    for (int at = folder;; at = items_[static_cast<std::size_t>(at)].parent) {
        dirty_[static_cast<std::size_t>(at + 1)] = 1;
        if (at < 0) {
            return;
        }
    }
}

int XbelDocument::addFolder(std::string_view title)
{
    const int index = newItem(true, -1);
    Item& item = items_[static_cast<std::size_t>(index)];
    item.title = holdable(title);
    item.id = std::to_string(nextId_++);
    appended_[0].push_back(index);
    touch(-1);
    return index;
}

int XbelDocument::addBookmark(int folder, std::string_view href, std::string_view title)
{
    const int index = newItem(false, folder);
    Item& item = items_[static_cast<std::size_t>(index)];
    item.href = holdable(href);
    item.title = holdable(title);
    item.id = std::to_string(nextId_++);
    appended_[static_cast<std::size_t>(folder + 1)].push_back(index);
    touch(folder);
    return index;
}

void XbelDocument::setTitle(int index, std::string_view title)
{
    const auto i = static_cast<std::size_t>(index);
    items_[i].title = holdable(title);
    titleEdited_[i] = 1;
    touch(items_[i].parent);
}

void XbelDocument::setHref(int index, std::string_view href)
{
    const auto i = static_cast<std::size_t>(index);
    items_[i].href = holdable(href);
    hrefEdited_[i] = 1;
    touch(items_[i].parent);
}

// Takes an item out of the folder it was moved or added into; an item read
// in its folder is left where it stands and written there no more.
void XbelDocument::detach(int index)
{
    const Item& item = items_[static_cast<std::size_t>(index)];
    auto& list = appended_[static_cast<std::size_t>(item.parent + 1)];
    list.erase(std::remove(list.begin(), list.end(), index), list.end());
    touch(item.parent);
}

void XbelDocument::move(int index, int folder)
{
    const auto i = static_cast<std::size_t>(index);
    if (items_[i].parent == folder) {
        return;
    }
    detach(index);
    items_[i].parent = folder;
    const Place& place = places_[i];
    // Back in the folder it was read in: it is written in its old place.
    if (place.element.end == 0 || place.parent != folder) {
        appended_[static_cast<std::size_t>(folder + 1)].push_back(index);
    }
    touch(folder);
}

void XbelDocument::remove(int index)
{
    detach(index);
    items_[static_cast<std::size_t>(index)].removed = true;
}

std::string XbelDocument::serialize() const
{
    if (!changed_) {
        return source_;
    }
    return Writer{*this}.write();
}

} // namespace tessaly

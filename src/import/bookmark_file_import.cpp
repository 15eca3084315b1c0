// The "Netscape" and "HTML" types: a browser's bookmark file, whose folders
// become categories, and any page, whose links become bookmarks.
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/html_text.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "import/html_list_import.h"
#include "import/import_lines.h"
#include "import/import_readers.h"
#include "import/import_sink.h"
#include "import/markup.h"
#include "links/html_tokenizer.h"

#include <algorithm>
#include <ctime>

namespace tessaly {

namespace {

// The day of a time in seconds since 1970 (as bookmark files write dates),
// 0 for none.
std::int32_t dayOfUnixTime(std::string_view seconds)
{
    const auto value = parseNumber(seconds);
    if (!value || *value <= 0) {
        return 0;
    }
    const auto day = dates::dayNumber(1970, 1, 1) + static_cast<std::int32_t>(*value / 86400);
    return dates::isValidDay(day) ? day : 0;
}

std::vector<std::string> splitKeywords(std::string_view list)
{
    std::vector<std::string> words;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view word = text::trim(list.substr(0, comma));
        if (!word.empty()) {
            words.emplace_back(word);
        }
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    }
    return words;
}

// Where "href" stands as an attribute name (followed by "="), from `from`.
std::size_t findHref(std::string_view line, std::size_t from)
{
    std::size_t at = from;
    while ((at = markup::findNoCase(line, "href", at)) != std::string_view::npos) {
        std::size_t pos = at + 4;
        while (pos < line.size() && line[pos] == ' ') {
            ++pos;
        }
        if (pos < line.size() && line[pos] == '=') {
            return at;
        }
        at += 4;
    }
    return std::string_view::npos;
}

// "<DL" as a tag, not the start of another name.
std::size_t findListTag(std::string_view line, std::string_view tag, std::size_t from)
{
    std::size_t at = from;
    while ((at = markup::findNoCase(line, tag, at)) != std::string_view::npos) {
        const std::size_t after = at + tag.size();
        if (after >= line.size() || line[after] == '>' || line[after] == ' ') {
            return at;
        }
        at = after;
    }
    return std::string_view::npos;
}

// The reading of a browser's bookmark file, a line at a time.
class NetscapeReader {
public:
    NetscapeReader(ImportSink& sink, const ImportRequest& request) : sink_(sink), request_(request)
    {}

    void line(std::string_view line)
    {
        if (markup::beginsNoCase(line, "<DD>")) {
            siteInfoLine(markup::skipBlanks(line).substr(4));
            return;
        }
        std::size_t pos = 0;
        // Where each kind of item stands next; found again only once the
        // reading has passed it, since lines can be long.
        std::size_t folder = markup::findNoCase(line, "<H3");
        std::size_t open = findListTag(line, "<DL", 0);
        std::size_t close = findListTag(line, "</DL", 0);
        std::size_t href = findHref(line, 0);
        for (;;) {
            const auto refresh = [&](std::size_t& at, auto find) {
                if (at != std::string_view::npos && at < pos) {
                    at = find(pos);
                }
            };
            refresh(folder,
                    [&](std::size_t from) { return markup::findNoCase(line, "<H3", from); });
            refresh(open, [&](std::size_t from) { return findListTag(line, "<DL", from); });
            refresh(close, [&](std::size_t from) { return findListTag(line, "</DL", from); });
            refresh(href, [&](std::size_t from) { return findHref(line, from); });
            const std::size_t first = std::min({folder, open, close, href});
            if (first == std::string_view::npos) {
                return;
            }
            if (first == folder) {
                pos = folderLine(line, folder);
            } else if (first == open) {
                // Each list remembers the category of its folder, so that
                // the links after it get their own folder's category again.
                lists_.push_back(category_);
                pos = open + 3;
            } else if (first == close) {
                if (!lists_.empty()) {
                    lists_.pop_back();
                }
                category_ = lists_.empty() ? std::string{} : lists_.back();
                pos = close + 4;
            } else {
                pos = link(line, href);
            }
        }
    }

private:
    void siteInfoLine(std::string_view rest)
    {
        if (!lastAdded_) {
            return;
        }
        const std::size_t br = markup::findNoCase(rest, "<BR>");
        sink_.setLastSiteInfo(text::trim(html::decodeReferences(rest.substr(0, br))));
        lastAdded_ = false;
    }

    std::size_t folderLine(std::string_view line, std::size_t at)
    {
        const std::size_t open = line.find('>', at);
        if (open == std::string_view::npos) {
            return line.size();
        }
        const std::size_t end = std::min(line.find('<', open + 1), line.size());
        // Kept longer than a category holds, so that the import cuts it
        // where it counts the cut; a name of megabytes is not held whole.
        constexpr std::size_t kFolderNameRead = 1024;
        category_ = std::string{
            text::fit(text::trim(html::decodeReferences(line.substr(open + 1, end - open - 1))),
                      kFolderNameRead)};
        return end;
    }

    // One link from its "href" on; returns where the line goes on.
    std::size_t link(std::string_view line, std::size_t at)
    {
        std::size_t pos = line.find('=', at) + 1;
        while (pos < line.size() && line[pos] == ' ') {
            ++pos;
        }
        std::size_t valueEnd = 0;
        std::string_view value;
        if (pos < line.size() && (line[pos] == '"' || line[pos] == '\'')) {
            const std::size_t close = line.find(line[pos], pos + 1);
            valueEnd = close == std::string_view::npos ? line.size() : close + 1;
            value = line.substr(pos + 1, std::min(close, line.size()) - pos - 1);
        } else {
            valueEnd = std::min(line.find_first_of(" >", pos), line.size());
            value = line.substr(pos, valueEnd - pos);
        }
        const std::string location{text::trim(html::decodeReferences(value))};
        const bool plausible = location.find(':') != std::string::npos ||
                               location.find("www") != std::string::npos ||
                               location.find(".net") != std::string::npos ||
                               location.find(".com") != std::string::npos;
        if (location.empty() || !plausible) {
            if (location.empty() || location.starts_with('#')) {
                sink_.skip(SkipReason::NoAddress, location);
            }
            return valueEnd;
        }
        const std::size_t tagEnd = line.find('>', valueEnd);
        const std::size_t tagStart = line.rfind('<', at);
        const std::string_view tag =
            line.substr(tagStart == std::string_view::npos ? at : tagStart,
                        (tagEnd == std::string_view::npos ? line.size() : tagEnd) -
                            (tagStart == std::string_view::npos ? at : tagStart));
        const std::string_view rest =
            tagEnd == std::string_view::npos ? std::string_view{} : line.substr(tagEnd + 1);
        std::string_view description = rest;
        std::string_view siteInfo;
        std::size_t next = line.size();
        if (const std::size_t end = markup::findNoCase(rest, "</a>");
            end != std::string_view::npos) {
            description = rest.substr(0, end);
            siteInfo = markup::skipBlanks(rest.substr(end + 4));
            if (siteInfo.starts_with('<')) {
                siteInfo = {};
            }
            next = tagEnd + 1 + end + 4;
        }
        add(location, description, siteInfo, tag);
        return next;
    }

    void add(const std::string& location, std::string_view description, std::string_view siteInfo,
             std::string_view tag)
    {
        lastAdded_ = false;
        // "#" marks a place in a page; "place:" a stored search of a browser
        // (its "Most Visited" and "Recent Tags"), not an address.
        if (location.starts_with('#') || location.starts_with("place:")) {
            sink_.skip(location.starts_with('#') ? SkipReason::NoAddress : SkipReason::BrowserQuery,
                       location);
            return;
        }
        Record bookmark{bookmarkTable()};
        sink_.setText(bookmark, BookmarkField::Location, location);
        // A bookmark saved without a title shows its address in the browser
        // (and in its profile import here): a blank line in the list would
        // hide it.
        const std::string title{
            text::trim(html::decodeReferences(markup::skipBlanks(description)))};
        sink_.setText(bookmark, BookmarkField::Description, title.empty() ? location : title);
        sink_.setText(bookmark, BookmarkField::SiteInfo, html::decodeReferences(siteInfo));
        sink_.setText(bookmark, BookmarkField::OriginalFilename, request_.source);
        bookmark.setNumber(BookmarkField::LastVisit,
                           dayOfUnixTime(markup::attribute(tag, "LAST_VISIT")));
        // Tags are the bookmark's keywords; so is the word typed in the
        // address bar to reach it.
        std::vector<std::string> keywords = splitKeywords(markup::attribute(tag, "TAGS"));
        if (const std::string shortcut = markup::attribute(tag, "SHORTCUTURL");
            !text::trim(shortcut).empty()) {
            keywords.emplace_back(text::trim(shortcut));
        }
        lastAdded_ = sink_.add(bookmark, category_, keywords) == AddResult::Added;
    }

    ImportSink& sink_;
    const ImportRequest& request_;
    std::string category_;
    std::vector<std::string> lists_;
    bool lastAdded_ = false;
};

// Gathers the elements of a page from its lines: text is carried from line
// to line (joined by a blank) so that a tag split over lines is tokenized
// whole, however long it is up to 1 MiB. A tag longer still is no tag
// anyone wrote: it is counted as unreadable and passed over, and the text
// before it is read as text, so a page without any ">" ends.
class HtmlCollector {
public:
    HtmlCollector(ElementList& elements, ImportSink& sink) : elements_(elements), sink_(sink) {}

    void line(std::string_view line)
    {
        // Lines join with one blank; blanks at the ends of the carried text
        // are dropped, as a piece of text that is blank alone is no element.
        while (!carry_.empty() && carry_.back() == ' ') {
            carry_.pop_back();
        }
        if (carry_.empty()) {
            line = markup::skipBlanks(line);
        } else {
            carry_ += ' ';
        }
        // Only the new text is searched, so a long carry is not read again
        // for every line.
        const std::size_t from = carry_.size();
        carry_ += line;
        const std::string_view added = std::string_view{carry_}.substr(from);
        if (const std::size_t last = added.rfind('>'); last != std::string_view::npos) {
            tokenize(std::string_view{carry_}.substr(0, from + last + 1), elements_, kLongestTag);
            const std::string_view rest =
                markup::skipBlanks(std::string_view{carry_}.substr(from + last + 1));
            carry_.erase(0, carry_.size() - rest.size());
            lastOpen_ = carry_.rfind('<');
        } else if (const std::size_t open = added.rfind('<'); open != std::string_view::npos) {
            lastOpen_ = from + open;
        }
        if (carry_.size() <= kLongestTag) {
            return;
        }
        // No ">" within the bound: what stands before the last "<" is text
        // and tags that never close; the last one may still close.
        const std::size_t textEnd = std::min(lastOpen_, carry_.size());
        tokenize(std::string_view{carry_}.substr(0, textEnd), elements_, kLongestTag);
        carry_.erase(0, textEnd);
        lastOpen_ = carry_.empty() ? std::string::npos : 0;
        if (carry_.size() > kLongestTag) {
            sink_.skip(SkipReason::Unreadable);
            carry_.clear();
            lastOpen_ = std::string::npos;
        }
    }

    // At the page's end what is carried is read too: text, and a tag the
    // page never closed.
    void finish()
    {
        tokenize(carry_, elements_, kLongestTag);
        carry_.clear();
        lastOpen_ = std::string::npos;
    }

private:
    static constexpr std::size_t kLongestTag = std::size_t{1} << 20U;

    ElementList& elements_;
    ImportSink& sink_;
    std::string carry_;
    std::size_t lastOpen_ = std::string::npos; // the last "<" in carry_
};

} // namespace

ImportSummary importBookmarkFile(Database& database, UiPort& ui, const ImportRequest& request)
{
    ImportSummary summary;
    ImportLines lines;
    if (!lines.open(request.source)) {
        summary.sourceError = lines.error();
        return summary;
    }
    const bool html = request.type == ImportType::Html;
    ImportSink sink{database, ui, request};
    if (!sink.begin({})) {
        summary.failed = true;
        return summary;
    }
    NetscapeReader netscape{sink, request};
    ElementList elements;
    HtmlCollector collector{elements, sink};
    std::string line;
    bool complete = true;
    while (lines.next(line)) {
        if (!sink.keepGoing(lines.fraction(), html
                                                  ? std::to_string(elements.size()) + " links found"
                                                  : std::string{})) {
            complete = false;
            break;
        }
        if (html) {
            collector.line(line);
        } else {
            netscape.line(line);
        }
    }
    summary.linesCut = lines.linesCut();
    if (!lines.error().empty()) {
        summary.sourceError = request.source + ": " + lines.error();
        complete = false;
    }
    if (html && complete) {
        collector.finish();
    }
    if (html && complete && !elements.empty() && !sink.failed()) {
        importHtmlList(elements, sink);
    }
    return sink.summarize(summary);
}

} // namespace tessaly

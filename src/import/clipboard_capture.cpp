#include "import/clipboard_capture.h"

#include "core/tables.h"
#include "framework/html_text.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "import/markup.h"

#include <algorithm>

namespace tessaly {

namespace {

constexpr std::string_view kDefaultCategory = "Clipboard";
constexpr std::size_t kHeadingWindow = 255;

std::string fitted(std::string_view value, std::size_t width)
{
    return std::string{text::fit(markup::skipBlanks(value), width)};
}

std::string keywordOf(std::string_view address)
{
    if (const std::size_t scheme = address.find("://"); scheme != std::string_view::npos) {
        return std::string{text::fit(address.substr(0, scheme), 20)};
    }
    return markup::beginsNoCase(address, "mailto:") ? "mailto:" : "?";
}

// The category a heading at `at` names ("<h2>News<", "<H3 ADD_DATE=..>News<"),
// or nothing when the tag there is no heading.
std::optional<std::string> headingAt(std::string_view text, std::size_t at)
{
    const bool plain = at + 3 < text.size() && text[at + 3] == '>';
    const bool folder = text.substr(std::min(at + 3, text.size()), 4) == " ADD";
    if (!plain && !folder) {
        return std::nullopt;
    }
    const std::string_view window = utf8::prefix(text.substr(at), kHeadingWindow);
    const std::size_t open = window.find('>');
    if (open == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view rest = window.substr(open + 1);
    const std::size_t close = rest.find('<');
    const std::string name =
        fitted(html::decodeReferences(close == std::string_view::npos
                                          ? utf8::prefix(rest, kHeadingWindow - 1)
                                          : rest.substr(0, close)),
               50);
    return name.empty() ? std::nullopt : std::optional<std::string>{name};
}

// The value of the "href" at the start of `text`: quoted by double quotes
// (or single ones) or bare. `end` is where the value ends; empty with `end`
// 4 for an "href" that is no attribute, so the scan moves past it.
std::string hrefValue(std::string_view text, std::size_t& end)
{
    std::size_t pos = 4;
    while (pos < text.size() && text[pos] == ' ') {
        ++pos;
    }
    if (pos >= text.size() || text[pos] != '=') {
        end = 4;
        return {};
    }
    ++pos;
    while (pos < text.size() && text[pos] == ' ') {
        ++pos;
    }
    if (pos < text.size() && (text[pos] == '"' || text[pos] == '\'')) {
        const std::size_t close = text.find(text[pos], pos + 1);
        end = close == std::string_view::npos ? text.size() : close + 1;
        return std::string{text.substr(pos + 1, std::min(close, text.size()) - pos - 1)};
    }
    end = std::min(text.find_first_of(" >", pos), text.size());
    return std::string{text.substr(pos, end - pos)};
}

// A blank, a comma or a line break or other control character ends an
// address in copied prose; none belongs in one.
bool endsAddress(char c)
{
    return c == ' ' || c == ',' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// Where a run of text that may hold an address ends when the copied text is
// read past its first 2000 characters: at a blank or what closes a link's
// address.
bool endsCapturedRun(char c)
{
    return endsAddress(c) || c == '"' || c == '\'' || c == '>' || c == '<';
}

// An address with its scheme and something after it: "http://" alone or
// "http://www." is no address.
bool plausibleAddress(std::string_view address)
{
    if (address.find(':') == std::string_view::npos) {
        return false;
    }
    const std::size_t scheme = address.find("://");
    if (scheme == std::string_view::npos) {
        return address.find(':') + 1 < address.size();
    }
    const std::size_t start = scheme + 3;
    const std::size_t slash = address.find('/', start);
    const std::string_view host =
        address.substr(start, slash == std::string_view::npos ? slash : slash - start);
    if (host.find_first_not_of('.') == std::string_view::npos) {
        return false; // nothing, or dots only
    }
    return !(host.size() == 4 && markup::findNoCase(host, "www.") == 0);
}

} // namespace

std::vector<CapturedBookmark> findCapturedBookmarks(std::string_view copied)
{
    std::vector<CapturedBookmark> found;
    // The copied text as the capture sees it: 2000 characters, read on to
    // the end of an address that runs past them (kept whole, never cut),
    // and blanks after it, so an address at its very end still ends.
    std::string_view seen = utf8::prefix(copied, kCapturedTextWidth);
    bool padded = seen.size() == copied.size();
    if (!padded) {
        const std::string_view more =
            utf8::prefix(copied.substr(seen.size()), static_cast<std::size_t>(kAddressWidth));
        const std::size_t end =
            std::find_if(more.begin(), more.end(), endsCapturedRun) - more.begin();
        padded = end < more.size();
        seen = copied.substr(0, seen.size() + std::min(end, more.size()));
    }
    std::string t{seen};
    // Copied markup (the HTML form of a copy) writes "&" as "&amp;" in its
    // addresses and texts: they are read as the importers read a page.
    const bool markupCopied = t.find('<') != std::string::npos;
    while (!t.empty()) {
        const std::size_t before = t.size();
        CapturedBookmark bookmark;
        bookmark.category = kDefaultCategory;
        const std::size_t href = markup::findNoCase(t, "href");
        const std::size_t heading = markup::findNoCase(t, "<h");
        if (heading != std::string::npos && (href == std::string::npos || heading < href)) {
            if (const auto name = headingAt(t, heading)) {
                bookmark.category = *name;
            }
        }
        std::string address;
        std::size_t addressEnd = 0;
        if (href != std::string::npos) {
            t.erase(0, href);
            address =
                fitted(html::decodeReferences(hrefValue(t, addressEnd)), std::string_view::npos);
            if (!padded && addressEnd >= t.size()) {
                address.clear(); // runs on past what was read: never taken cut
            }
        } else {
            // The earliest address of any kind: taking one kind first would
            // pass over the others before it. https:// too, as most
            // addresses copied today have it.
            std::size_t at = std::string::npos;
            bool www = false;
            for (const char* scheme : {"http://", "https://", "ftp://", "telnet://", "mailto:"}) {
                at = std::min(at, markup::findNoCase(t, scheme));
            }
            if (const std::size_t w = markup::findNoCase(t, "www."); w < at) {
                at = w;
                www = true;
            }
            if (at == std::string::npos) {
                break; // no address left
            }
            if (www) {
                t = "http://" + t.substr(at);
                at = 0;
            }
            t.erase(0, at);
            // A comma after an address in prose ends it as a blank does: no
            // address ends in one.
            addressEnd = std::find_if(t.begin(), t.end(), endsAddress) - t.begin();
            addressEnd = addressEnd == t.size() ? std::string::npos : addressEnd;
            if (addressEnd == std::string::npos) {
                if (!padded) {
                    t.erase(0, utf8::offsetOf(t, 9));
                    continue;
                }
                addressEnd = t.size();
            }
            const std::string_view plain = std::string_view{t}.substr(0, addressEnd);
            address = fitted(markupCopied ? html::decodeReferences(plain) : std::string{plain},
                             std::string_view::npos);
        }
        if (!plausibleAddress(address)) {
            t.erase(0, std::max<std::size_t>(addressEnd, 1));
            continue;
        }
        t.erase(0, addressEnd);
        if (const std::size_t close = t.find('>'); close != std::string::npos) {
            t.erase(0, close + 1);
        }
        if (const std::size_t end = markup::findNoCase(t, "</a>"); end != std::string::npos) {
            bookmark.description =
                fitted(html::decodeReferences(std::string_view{t}.substr(0, end)), 255);
            // Text after the link that begins with a tag is no site information.
            const std::string_view after = markup::skipBlanks(std::string_view{t}.substr(end + 4));
            bookmark.siteInfo = after.starts_with('<')
                                    ? std::string{}
                                    : fitted(html::decodeReferences(after), 2048);
            t.erase(0, end + 1);
        } else {
            bookmark.description = fitted(markupCopied ? html::decodeReferences(t) : t, 255);
        }
        if (t.size() >= before) {
            t.erase(0, 1); // every pass moves on
        }
        if (address.starts_with('#')) {
            continue;
        }
        bookmark.keyword = keywordOf(address);
        bookmark.location = std::move(address);
        found.push_back(std::move(bookmark));
    }
    return found;
}

std::string defaultCaptureDescription(std::string_view location, std::int32_t day,
                                      std::int32_t time)
{
    return "Added from clipboard " + format(day, "@d3") + " " + format(time, "@t3") + " " +
           std::string{location};
}

bool ClipboardCapture::store(CapturedBookmark found, std::int32_t day, std::int32_t time)
{
    Record bookmark{bookmarkTable()};
    bookmark.setText(BookmarkField::Location, found.location);
    bookmark.setText(BookmarkField::Category, found.category);
    bookmark.setText(BookmarkField::Keyword, found.keyword);
    bookmark.setText(BookmarkField::SiteInfo, found.siteInfo);
    bookmark.setText(BookmarkField::Description,
                     text::trim(found.description).empty()
                         ? defaultCaptureDescription(found.location, day, time)
                         : found.description);
    FileManager& bookmarks = database_.bookmarks();
    FileManager& categories = database_.categories();
    Record stored = bookmark;
    if (bookmarks.tryFetch(static_cast<int>(BookmarkKey::Location), stored) == kLevelDone) {
        return false; // stored already, in some letter case
    }
    Engine& engine = database_.engine();
    if (!engine.begin().ok()) {
        return false;
    }
    Record category{categoryTable()};
    category.setText(CategoryField::Category, bookmark.text(BookmarkField::Category));
    if (categories.tryFetch(0, category) != kLevelDone) {
        category.clear();
        category.setText(CategoryField::Category, bookmark.text(BookmarkField::Category));
        if (const EngineStatus added = categories.file().add(category);
            !added.ok() && added.code != kDuplicateKey) {
            engine.rollback();
            return false;
        }
    }
    if (!bookmarks.file().add(bookmark).ok()) {
        engine.rollback();
        return false;
    }
    return engine.commit().ok();
}

std::vector<std::string> ClipboardCapture::capture(std::string_view text, std::int32_t day,
                                                   std::int32_t time)
{
    std::vector<std::string> added;
    if (database_.bookmarks().use() != kLevelDone) {
        return added;
    }
    if (database_.categories().use() != kLevelDone) {
        database_.bookmarks().close();
        return added;
    }
    for (CapturedBookmark& found : findCapturedBookmarks(utf8::valid(text))) {
        const std::string location = found.location;
        if (store(std::move(found), day, time)) {
            ++added_;
            status_ = "Added " + std::to_string(added_) + ":  " + location;
            added.push_back(location);
        }
    }
    database_.categories().close();
    database_.bookmarks().close();
    return added;
}

} // namespace tessaly

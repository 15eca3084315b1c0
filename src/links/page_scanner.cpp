#include "links/page_scanner.h"

#include "core/tables.h"
#include "framework/dates.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "links/page_text.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace tessaly {

namespace {

constexpr std::int32_t kEarliestExpiry = 70000; // 23 August 1992

// Upper case for the ASCII letters only, so that a position found in the
// copy is the same byte position in the page's own text (full Unicode upper
// casing may change a character's length, or mend a broken byte).
std::string asciiUpper(std::string_view text)
{
    std::string out{text};
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// Whether `element` begins with `prefix` (upper case), ASCII letters of
// either case alike; no copy is made, as most elements of a page are not
// what is looked for.
bool beginsWith(std::string_view element, std::string_view prefix)
{
    if (element.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = element[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool isHtmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The value of the attribute `name` (upper case) of the start tag
// `element`, read as a browser reads it: in double or single quotes, or bare
// up to a blank or the tag's end; nothing when the tag has no such
// attribute. Only the first of a repeated attribute counts.
std::optional<std::string_view> attributeValue(std::string_view element, std::string_view upper,
                                               std::string_view name)
{
    std::size_t pos = 1;
    while (pos < element.size() && !isHtmlSpace(element[pos]) && element[pos] != '>') {
        ++pos; // the tag's name
    }
    while (pos < element.size() && element[pos] != '>') {
        while (pos < element.size() && (isHtmlSpace(element[pos]) || element[pos] == '/')) {
            ++pos;
        }
        const std::size_t nameAt = pos;
        while (pos < element.size() && !isHtmlSpace(element[pos]) && element[pos] != '=' &&
               element[pos] != '>' && (pos == nameAt || element[pos] != '/')) {
            ++pos;
        }
        const std::string_view found = upper.substr(nameAt, pos - nameAt);
        while (pos < element.size() && isHtmlSpace(element[pos])) {
            ++pos;
        }
        std::string_view value;
        if (pos < element.size() && element[pos] == '=') {
            ++pos;
            while (pos < element.size() && isHtmlSpace(element[pos])) {
                ++pos;
            }
            if (pos < element.size() && (element[pos] == '"' || element[pos] == '\'')) {
                const std::size_t end = element.find(element[pos], pos + 1);
                value =
                    element.substr(pos + 1, end == std::string_view::npos ? std::string_view::npos
                                                                          : end - pos - 1);
                pos = end == std::string_view::npos ? element.size() : end + 1;
            } else {
                const std::size_t start = pos;
                while (pos < element.size() && !isHtmlSpace(element[pos]) && element[pos] != '>') {
                    ++pos;
                }
                value = element.substr(start, pos - start);
            }
        }
        if (found == name) {
            return value;
        }
        if (found.empty() && pos == nameAt) {
            ++pos; // a stray character, passed over
        }
    }
    return std::nullopt;
}

// An attribute's value as plain text, at most `width` characters.
std::string valueOf(std::string_view element, std::string_view upper, std::string_view name,
                    std::size_t width)
{
    return plainText(utf8::prefix(attributeValue(element, upper, name).value_or(""), width));
}

// The title in the element after "<TITLE": a title of one character joins
// its end tag in one element, and an empty one leaves the end tag alone.
std::string titleIn(std::string_view element)
{
    return plainText(element.substr(0, element.find('<')));
}

bool hasDetailLines(FileManager& details, std::string_view location)
{
    Record probe{detailTable()};
    probe.setText(DetailField::Location, location);
    details.file().set(0, probe);
    Record row{detailTable()};
    return details.file().next(row).ok() &&
           text::equalNoCase(row.text(DetailField::Location), location);
}

// Replaces the bookmark's keyword rows; the level of the first failed
// write (each is reported as it fails).
int replaceKeywords(FileManager& keywords, std::string_view location, std::string_view content)
{
    RecordFile& file = keywords.file();
    Record probe{keywordTable()};
    probe.setText(KeywordField::Location, location);
    file.set(0, probe);
    std::vector<Record> old;
    Record row{keywordTable()};
    while (file.next(row).ok() && text::equalNoCase(row.text(KeywordField::Location), location)) {
        old.push_back(row);
    }
    int level = kLevelDone;
    const auto keep = [&level](int result) {
        if (level == kLevelDone) {
            level = result;
        }
    };
    for (const Record& r : old) {
        keep(keywords.remove(r));
    }
    std::vector<std::string> seen;
    std::string rest{content};
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        // Blanks before a comma are no part of a keyword: "news ," and
        // "news," are one.
        std::string keyword{utf8::prefix(text::trim(rest.substr(0, comma)), 32)};
        rest = comma == std::string::npos ? std::string{}
                                          : std::string{text::trim(rest.substr(comma + 1))};
        if (!text::clip(keyword).empty() &&
            std::find(seen.begin(), seen.end(), keyword) == seen.end()) {
            seen.push_back(keyword);
            Record k{keywordTable()};
            k.setText(KeywordField::Location, location);
            k.setText(KeywordField::Keyword, keyword);
            keep(keywords.insert(k));
        }
    }
    return level;
}

} // namespace

namespace {

// What one scan works with.
struct Scan {
    ScanMode mode;
    Record& bookmark;
    FileManager& keywords;
    FileManager& details;
    std::string location;
    bool hadDetails = false;
    int level = kLevelDone; // of the first write that failed

    void keep(int result)
    {
        if (level == kLevelDone) {
            level = result;
        }
    }
};

void scanMeta(const std::string& element, const std::string& upper, Scan& scan)
{
    Record& bookmark = scan.bookmark;
    const bool named = attributeValue(element, upper, "NAME").has_value();
    const std::string name =
        text::upper(valueOf(element, upper, named ? "NAME" : "HTTP-EQUIV", 255));
    const std::string content = valueOf(element, upper, "CONTENT", 4096);
    if (text::clip(name).empty() || text::clip(content).empty()) {
        return;
    }
    if (name == "REV") {
        if (text::clip(bookmark.text(BookmarkField::EmailAddress)).empty()) {
            bookmark.setText(BookmarkField::EmailAddress, content);
        }
    } else if (name == "REFRESH") {
        bookmark.setText(BookmarkField::MovedTo, content);
    } else if (name == "EXPIRES") {
        const std::int32_t day = dates::parseHttpDate(content);
        if (day > kEarliestExpiry) {
            bookmark.setNumber(BookmarkField::Expires, day);
        }
    } else if (name == "DESCRIPTION") {
        const std::string& info = bookmark.text(BookmarkField::SiteInfo);
        if (scan.mode == ScanMode::Analysis || text::clip(info).empty() ||
            info.starts_with("HTML: ")) {
            bookmark.setText(BookmarkField::SiteInfo, content);
        }
    } else if (scan.mode == ScanMode::Analysis && name == "KEYWORDS") {
        scan.keep(replaceKeywords(scan.keywords, scan.location, content));
    } else if (scan.mode == ScanMode::Analysis && !scan.hadDetails) {
        Record detail{detailTable()};
        detail.setText(DetailField::Location, scan.location);
        detail.setText(DetailField::DataLabel, name);
        detail.setText(DetailField::DataValue, content);
        if (!text::clip(detail.text(DetailField::DataValue)).empty()) {
            scan.keep(scan.details.insert(detail));
        }
    }
}

} // namespace

int scanPage(const ElementList& elements, ScanMode mode, std::int64_t pageSize, std::int32_t today,
             Record& bookmark, Database& database)
{
    if (pageSize != 0) {
        bookmark.setNumber(BookmarkField::PageSize, pageSize);
    }
    bookmark.setNumber(BookmarkField::LastValidated, today);
    bookmark.setNumber(BookmarkField::LastVisit, today);
    bookmark.setNumber(BookmarkField::Validated, 1);
    Scan scan{mode, bookmark, database.keywords(), database.details(),
              bookmark.text(BookmarkField::Location)};
    scan.keywords.use();
    scan.details.use();
    scan.hadDetails = hasDetailLines(scan.details, scan.location);
    // The rows are written as one group; a group that cannot begin or be
    // committed is reported as the failed adding of the rows it held.
    if (const EngineStatus status = scan.keywords.file().stream(); !status.ok()) {
        scan.keep(scan.keywords.reportWriteError(status, true));
    }
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::string& element = elements[i];
        if (!beginsWith(element, "<A HR") && !beginsWith(element, "<TITL") &&
            !beginsWith(element, "<META")) {
            continue; // any other element is passed over
        }
        const std::string upper = asciiUpper(element);
        if (upper.starts_with("<A HR")) {
            const std::string_view href = attributeValue(element, upper, "HREF").value_or("");
            const std::size_t mailto = asciiUpper(href).find("MAILTO:");
            if (mailto != std::string::npos &&
                text::clip(bookmark.text(BookmarkField::EmailAddress)).empty()) {
                bookmark.setText(BookmarkField::EmailAddress,
                                 plainText(utf8::prefix(href.substr(mailto + 7), 60)));
            }
        } else if (upper.starts_with("<TITL")) {
            if (i + 1 >= elements.size()) {
                continue;
            }
            const std::string title = titleIn(elements[++i]);
            if (!text::clip(title).empty() &&
                text::clip(bookmark.text(BookmarkField::Description)).empty()) {
                bookmark.setText(BookmarkField::Description, title);
            }
        } else if (upper.starts_with("<META")) {
            scanMeta(element, upper, scan);
        }
    }
    if (const EngineStatus status = scan.keywords.file().flush(); !status.ok()) {
        scan.keep(scan.keywords.reportWriteError(status, true));
    }
    scan.details.close();
    scan.keywords.close();
    return scan.level;
}

namespace {

// Site information stops taking body text past this many characters.
constexpr std::size_t kBodyTextStop = 2008; // 2048 less 40

// What appendBodyText() adds to the site information for a text element.
std::string bodyWords(std::string_view element)
{
    std::string words = plainText(element.substr(0, element.find('<')));
    words.erase(0, std::min(words.find_first_not_of(' '), words.size()));
    return words;
}

} // namespace

void ScanElements::take(std::string_view element)
{
    // The element after a title tag is read as the title, whatever it is.
    const bool titleText = std::exchange(titleNext_, false);
    bool keep = titleText;
    // Once the body text kept passes what the site information takes,
    // more of it (or another body tag) changes nothing.
    const bool bodyWanted = bodyCharacters_ <= kBodyTextStop + 2;
    if (beginsWith(element, "<BODY")) {
        inBody_ = true;
        if (bodyWanted) {
            bodyCharacters_ += 1;
            keep = true;
        }
    } else if (!element.starts_with('<')) {
        if (inBody_ && bodyWanted) {
            bodyCharacters_ += utf8::length(bodyWords(element)) + 1;
            keep = true;
        }
    } else if (!titleText && scanBytes_ <= kMostScanBytes) {
        const bool title = beginsWith(element, "<TITL");
        if (title || beginsWith(element, "<META") ||
            (beginsWith(element, "<A HR") &&
             asciiUpper(element).find("MAILTO:") != std::string::npos)) {
            keep = true;
            titleNext_ = title;
            scanBytes_ += element.size();
        }
    }
    if (keep) {
        scanBytes_ += titleText ? element.size() : 0;
        kept_.emplace_back(element);
    }
}

void appendBodyText(const ElementList& elements, Record& bookmark)
{
    constexpr std::size_t kStop = kBodyTextStop;
    const auto clippedInfo = [&bookmark] {
        return std::string{text::clip(bookmark.text(BookmarkField::SiteInfo))};
    };
    bool inBody = false;
    // Of the clipped site information, counted again only when it changes:
    // most elements of a body are tags, which leave it as it is.
    std::size_t infoLength = 0;
    for (const std::string& element : elements) {
        if (beginsWith(element, "<BODY")) {
            inBody = true;
            if (const std::string info = clippedInfo(); !info.empty()) {
                bookmark.setText(BookmarkField::SiteInfo, info + "\r\n");
            }
            infoLength = utf8::length(clippedInfo());
            continue;
        }
        if (!inBody) {
            continue;
        }
        if (!element.starts_with("<")) {
            const std::string info = clippedInfo();
            const std::string_view clipped = text::clip(element);
            // Only the separators this rule writes break a line.
            const std::string separator =
                infoLength > 50 && utf8::length(clipped) < 25 ? "\r\n" : " ";
            // A text of one character joins the end tag that follows it
            // ("x</body>"), as a title does: the tag is no text.
            std::string joined = info + separator + bodyWords(element);
            joined.erase(0, std::min(joined.find_first_not_of(' '), joined.size()));
            bookmark.setText(BookmarkField::SiteInfo, joined);
            infoLength = utf8::length(clippedInfo());
        }
        if (infoLength > kStop) {
            return;
        }
    }
}

} // namespace tessaly

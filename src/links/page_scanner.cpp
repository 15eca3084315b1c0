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

// The meta tag `element` as a finding; nothing when its name or content is
// blank.
std::optional<PageFinding> metaFinding(const std::string& element, const std::string& upper)
{
    const bool named = attributeValue(element, upper, "NAME").has_value();
    std::string name = text::upper(valueOf(element, upper, named ? "NAME" : "HTTP-EQUIV", 255));
    std::string content = valueOf(element, upper, "CONTENT", 4096);
    if (text::clip(name).empty() || text::clip(content).empty()) {
        return std::nullopt;
    }
    return PageFinding{PageFinding::Kind::Meta, std::move(name), std::move(content)};
}

void fillFromMeta(const PageFinding& meta, ScanMode mode, Record& bookmark)
{
    const std::string& name = meta.name;
    const std::string& content = meta.value;
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
        if (mode == ScanMode::Analysis || text::clip(info).empty() || info.starts_with("HTML: ")) {
            bookmark.setText(BookmarkField::SiteInfo, content);
        }
    }
}

// The rows an analysis writes for the page's meta tags: its keywords
// replace the bookmark's, any other tag becomes a detail line when the
// bookmark had none. The level of the first write that failed.
int writeMetaRows(const PageFindings& findings, std::string_view location, Database& database)
{
    FileManager& keywords = database.keywords();
    FileManager& details = database.details();
    // A file that cannot be opened (another program holds it, say) has been
    // reported: none of the rows is written.
    if (const int level = keywords.use(); level != kLevelDone) {
        return level;
    }
    if (const int level = details.use(); level != kLevelDone) {
        keywords.close();
        return level;
    }
    const bool hadDetails = hasDetailLines(details, location);
    int level = kLevelDone;
    const auto keep = [&level](int result) {
        if (level == kLevelDone) {
            level = result;
        }
    };
    // The rows are written as one group; a group that cannot begin or be
    // committed is reported as the failed adding of the rows it held.
    if (const EngineStatus status = keywords.file().stream(); !status.ok()) {
        keep(keywords.reportWriteError(status, true));
    }
    for (const PageFinding& found : findings) {
        if (found.kind != PageFinding::Kind::Meta || found.name == "REV" ||
            found.name == "REFRESH" || found.name == "EXPIRES" || found.name == "DESCRIPTION") {
            continue;
        }
        if (found.name == "KEYWORDS") {
            keep(replaceKeywords(keywords, location, found.value));
        } else if (!hadDetails) {
            Record detail{detailTable()};
            detail.setText(DetailField::Location, location);
            detail.setText(DetailField::DataLabel, found.name);
            detail.setText(DetailField::DataValue, found.value);
            if (!text::clip(detail.text(DetailField::DataValue)).empty()) {
                keep(details.insert(detail));
            }
        }
    }
    if (const EngineStatus status = keywords.file().flush(); !status.ok()) {
        keep(keywords.reportWriteError(status, true));
    }
    details.close();
    keywords.close();
    return level;
}

} // namespace

PageFindings findOnPage(const ElementList& elements)
{
    PageFindings findings;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::string& element = elements[i];
        if (!beginsWith(element, "<A HR") && !beginsWith(element, "<TITL") &&
            !beginsWith(element, "<META")) {
            continue; // any other element is passed over
        }
        const std::string upper = asciiUpper(element);
        if (upper.starts_with("<A HR")) {
            const std::string_view href = attributeValue(element, upper, "HREF").value_or("");
            if (const std::size_t mailto = asciiUpper(href).find("MAILTO:");
                mailto != std::string::npos) {
                findings.push_back({PageFinding::Kind::Mail,
                                    {},
                                    plainText(utf8::prefix(href.substr(mailto + 7), 60))});
            }
        } else if (upper.starts_with("<TITL")) {
            if (i + 1 >= elements.size()) {
                continue;
            }
            // The element after the title tag is its text, whatever it is.
            if (std::string title = titleIn(elements[++i]); !text::clip(title).empty()) {
                findings.push_back({PageFinding::Kind::Title, {}, std::move(title)});
            }
        } else if (auto meta = metaFinding(element, upper)) {
            findings.push_back(std::move(*meta));
        }
    }
    return findings;
}

void fillBookmark(const PageFindings& findings, ScanMode mode, Record& bookmark)
{
    for (const PageFinding& found : findings) {
        switch (found.kind) {
        case PageFinding::Kind::Mail:
            if (text::clip(bookmark.text(BookmarkField::EmailAddress)).empty()) {
                bookmark.setText(BookmarkField::EmailAddress, found.value);
            }
            break;
        case PageFinding::Kind::Title:
            if (text::clip(bookmark.text(BookmarkField::Description)).empty()) {
                bookmark.setText(BookmarkField::Description, found.value);
            }
            break;
        case PageFinding::Kind::Meta:
            fillFromMeta(found, mode, bookmark);
            break;
        }
    }
}

int applyFindings(const PageFindings& findings, ScanMode mode, std::int64_t pageSize,
                  std::int32_t today, Record& bookmark, Database& database)
{
    if (pageSize != 0) {
        bookmark.setNumber(BookmarkField::PageSize, pageSize);
    }
    bookmark.setNumber(BookmarkField::LastValidated, today);
    bookmark.setNumber(BookmarkField::LastVisit, today);
    bookmark.setNumber(BookmarkField::Validated, 1);
    const std::string location = bookmark.text(BookmarkField::Location);
    fillBookmark(findings, mode, bookmark);
    if (mode != ScanMode::Analysis) {
        // The link test reads the page's fields only; the keyword and
        // detail files are still opened, as a scan always did.
        return writeMetaRows({}, location, database);
    }
    return writeMetaRows(findings, location, database);
}

int scanPage(const ElementList& elements, ScanMode mode, std::int64_t pageSize, std::int32_t today,
             Record& bookmark, Database& database)
{
    return applyFindings(findOnPage(elements), mode, pageSize, today, bookmark, database);
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
            // Counted as the least appendBodyText() adds for it: the text
            // without its trailing blanks and one separator, and nothing for
            // a text of blanks alone (the tabs of an indented page), which
            // adds a line break or nothing. Counting more would stop the
            // keeping before the site information is full.
            const std::string words = bodyWords(element);
            if (const std::string_view shown = text::clip(words); !shown.empty()) {
                bodyCharacters_ += utf8::length(shown) + 1;
            }
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

namespace {

// The site information as appendBodyText() builds it: each piece is added
// at the end and the whole cut to the field's width as storing it cuts it,
// without going over the text gathered so far again (a page's body has
// many small texts).
class SiteInfoText {
public:
    SiteInfoText(std::string text, std::size_t width)
        : text_(std::move(text)), length_(utf8::length(text_)), width_(width)
    {}

    const std::string& text() const { return text_; }
    std::size_t length() const { return length_; } // in characters
    // Nothing added can change it any more: it fills its width, and has no
    // leading blank for a later piece to trim off.
    bool full() const { return length_ >= width_ && !text_.starts_with(' '); }

    // `separator` and `words` added, then leading blanks dropped when
    // `trimLeading`, then cut to the width and trailing blanks dropped: what
    // setText() of the whole gives, made well-formed as it makes it.
    void add(std::string_view separator, std::string_view words, bool trimLeading)
    {
        text_ += separator;
        length_ += separator.size(); // blanks and line breaks
        if (utf8::isValid(words)) {
            text_ += words;
            length_ += utf8::length(words);
        } else {
            const std::string mended = utf8::valid(words);
            text_ += mended;
            length_ += utf8::length(mended);
        }
        if (trimLeading) {
            const std::size_t blanks = std::min(text_.find_first_not_of(' '), text_.size());
            text_.erase(0, blanks);
            length_ -= blanks;
        }
        if (length_ > width_) {
            text_.resize(utf8::prefix(text_, width_).size());
            length_ = width_;
        }
        const std::size_t kept = text::clip(text_).size();
        length_ -= text_.size() - kept; // blanks are one byte each
        text_.resize(kept);
    }

private:
    std::string text_;
    std::size_t length_;
    std::size_t width_;
};

} // namespace

void appendBodyText(const ElementList& elements, Record& bookmark)
{
    constexpr std::size_t kStop = kBodyTextStop;
    const auto width =
        static_cast<std::size_t>(bookmark.table().width(static_cast<int>(BookmarkField::SiteInfo)));
    // As stored: already cut to the width, no trailing blanks.
    SiteInfoText info{bookmark.text(BookmarkField::SiteInfo), width};
    bool inBody = false;
    for (const std::string& element : elements) {
        if (beginsWith(element, "<BODY")) {
            inBody = true;
            if (!info.text().empty()) {
                info.add("\r\n", {}, false);
            }
            continue;
        }
        if (!inBody) {
            continue;
        }
        if (!element.starts_with("<")) {
            const std::string_view clipped = text::clip(element);
            // Only the separators this rule writes break a line.
            const std::string_view separator =
                info.length() > 50 && utf8::length(clipped) < 25 ? "\r\n" : " ";
            // A text of one character joins the end tag that follows it
            // ("x</body>"), as a title does: the tag is no text.
            info.add(separator, bodyWords(element), true);
        }
        if (info.length() > kStop || info.full()) {
            break;
        }
    }
    if (info.text() != bookmark.text(BookmarkField::SiteInfo)) {
        bookmark.setText(BookmarkField::SiteInfo, info.text());
    }
}

} // namespace tessaly

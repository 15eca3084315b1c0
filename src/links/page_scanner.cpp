#include "links/page_scanner.h"

#include "core/tables.h"
#include "framework/dates.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>
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

// The element's text after the first `marker` (found in the ASCII
// upper-cased copy), at most `width` characters, before a quote.
std::string valueAfter(const std::string& element, const std::string& upper,
                       std::string_view marker, std::size_t width)
{
    const auto at = upper.find(marker);
    if (at == std::string::npos) {
        return {};
    }
    return textBeforeQuote(
        utf8::prefix(std::string_view{element}.substr(at + marker.size()), width));
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

void replaceKeywords(FileManager& keywords, std::string_view location, std::string_view content)
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
    for (const Record& r : old) {
        file.remove(r);
    }
    std::vector<std::string> seen;
    std::string rest{content};
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        std::string keyword = rest.substr(0, comma);
        keyword.erase(0, keyword.find_first_not_of(' ') == std::string::npos
                             ? keyword.size()
                             : keyword.find_first_not_of(' '));
        keyword = std::string{utf8::prefix(keyword, 32)};
        rest = comma == std::string::npos ? std::string{}
                                          : std::string{text::trim(rest.substr(comma + 1))};
        if (!text::clip(keyword).empty() &&
            std::find(seen.begin(), seen.end(), keyword) == seen.end()) {
            seen.push_back(keyword);
            Record k{keywordTable()};
            k.setText(KeywordField::Location, location);
            k.setText(KeywordField::Keyword, keyword);
            keywords.insert(k);
        }
    }
}

} // namespace

void scanPage(const ElementList& elements, ScanMode mode, std::int64_t pageSize, std::int32_t today,
              Record& bookmark, Database& database)
{
    if (pageSize != 0) {
        bookmark.setNumber(BookmarkField::PageSize, pageSize);
    }
    bookmark.setNumber(BookmarkField::LastValidated, today);
    bookmark.setNumber(BookmarkField::LastVisit, today);
    bookmark.setNumber(BookmarkField::Validated, 1);
    FileManager& keywords = database.keywords();
    FileManager& details = database.details();
    keywords.use();
    details.use();
    const std::string location = bookmark.text(BookmarkField::Location);
    const bool hadDetails = hasDetailLines(details, location);
    keywords.file().stream();
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::string& element = elements[i];
        const std::string upper = asciiUpper(element);
        if (upper.starts_with("<A HR")) {
            if (upper.find("MAILTO:") != std::string::npos &&
                text::clip(bookmark.text(BookmarkField::EmailAddress)).empty()) {
                bookmark.setText(BookmarkField::EmailAddress,
                                 valueAfter(element, upper, "MAILTO:", 60));
            }
        } else if (upper.starts_with("<TITL")) {
            if (i + 1 >= elements.size()) {
                continue;
            }
            const std::string& title = elements[++i];
            // An empty title leaves its own end tag next: that is no title.
            if (!title.starts_with("<") &&
                text::clip(bookmark.text(BookmarkField::Description)).empty()) {
                bookmark.setText(BookmarkField::Description, title);
            }
        } else if (upper.starts_with("<META")) {
            const bool named = upper.find("NAME=\"") != std::string::npos;
            const std::string name =
                text::upper(valueAfter(element, upper, named ? "NAME=\"" : "HTTP-EQUIV=\"", 255));
            const std::string content = valueAfter(element, upper, "CONTENT=\"", 4096);
            if (text::clip(name).empty() || text::clip(content).empty()) {
                continue;
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
                if (mode == ScanMode::Analysis || text::clip(info).empty() ||
                    info.starts_with("HTML: ")) {
                    bookmark.setText(BookmarkField::SiteInfo, content);
                }
            } else if (mode == ScanMode::Analysis && name == "KEYWORDS") {
                replaceKeywords(keywords, location, content);
            } else if (mode == ScanMode::Analysis && !hadDetails) {
                Record detail{detailTable()};
                detail.setText(DetailField::Location, location);
                detail.setText(DetailField::DataLabel, name);
                detail.setText(DetailField::DataValue, content);
                if (!text::clip(detail.text(DetailField::DataValue)).empty()) {
                    details.insert(detail);
                }
            }
        }
    }
    keywords.file().flush();
    details.close();
    keywords.close();
}

void appendBodyText(const ElementList& elements, Record& bookmark)
{
    constexpr std::size_t kStop = 2008; // 2048 less 40
    bool inBody = false;
    for (const std::string& element : elements) {
        std::string info{text::clip(bookmark.text(BookmarkField::SiteInfo))};
        if (asciiUpper(element).starts_with("<BODY")) {
            inBody = true;
            if (!info.empty()) {
                bookmark.setText(BookmarkField::SiteInfo, info + "\r\n");
            }
            continue;
        }
        if (!inBody) {
            continue;
        }
        if (!element.starts_with("<")) {
            const std::string_view clipped = text::clip(element);
            const std::string separator =
                utf8::length(info) > 50 && utf8::length(clipped) < 25 ? "\r\n" : " ";
            std::string joined = info + separator +
                                 std::string{std::string_view{element}.substr(
                                     std::min(element.find_first_not_of(' '), element.size()))};
            joined.erase(0, std::min(joined.find_first_not_of(' '), joined.size()));
            bookmark.setText(BookmarkField::SiteInfo, joined);
        }
        if (utf8::length(text::clip(bookmark.text(BookmarkField::SiteInfo))) > kStop) {
            return;
        }
    }
}

} // namespace tessaly

#pragma once

#include "core/database.h"
#include "links/html_tokenizer.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

enum class ScanMode { Test, Analysis };

// Fills a bookmark from a page's elements: page size, dates and the Pass
// mark; the first mail link; the title as description when it has none;
// and the meta tags REV, REFRESH, EXPIRES, DESCRIPTION, KEYWORDS (analysis:
// the keyword rows are replaced) and others (analysis: detail lines, only
// when the bookmark had none). The bookmark is changed in memory; keyword
// and detail rows are written. `pageSize` 0 means unknown. Texts are
// stored as plain text (see plainText()). Returns kLevelDone, or the level
// of the first row write that failed, which has been reported.
int scanPage(const ElementList& elements, ScanMode mode, std::int64_t pageSize, std::int32_t today,
             Record& bookmark, Database& database);

// What the scan reads of a page, in page order and already plain text: the
// mail links, the titles that are not blank and the meta tags whose name and
// content are not. Finding them touches no database file, so a worker may
// do it while the batch's writer stores other bookmarks.
struct PageFinding {
    enum class Kind { Mail, Title, Meta };
    Kind kind = Kind::Meta;
    std::string name;  // of a meta tag, upper case
    std::string value; // the mail address, the title or the meta tag's content
};
using PageFindings = std::vector<PageFinding>;

PageFindings findOnPage(const ElementList& elements);
// Fills the bookmark's own fields from what was found, as scanPage() does,
// writing no row.
void fillBookmark(const PageFindings& findings, ScanMode mode, Record& bookmark);
// scanPage() of the page whose findings these are.
int applyFindings(const PageFindings& findings, ScanMode mode, std::int64_t pageSize,
                  std::int32_t today, Record& bookmark, Database& database);

// Keeps, of a page's elements as they come, those scanPage() and
// appendBodyText() read: mail links, titles with the element after each,
// meta tags, and the body's opening tags and texts. The scan of what is
// kept gives what the scan of every element gives; what a page holds
// beyond that (its other tags, body text past what the site information
// takes, mail links and meta tags past kMostScanBytes) is passed over, so a
// page of any size keeps little.
class ScanElements final {
public:
    static constexpr std::size_t kMostScanBytes = 64 * 1024;

    void take(std::string_view element);
    const ElementList& kept() const { return kept_; }
    void shrink() { kept_.shrink_to_fit(); }

private:
    ElementList kept_;
    bool titleNext_ = false; // the element after a title tag is its text
    bool inBody_ = false;
    std::size_t bodyCharacters_ = 0; // of body text kept
    std::size_t scanBytes_ = 0;      // of mail links, titles and meta tags kept
};

// Appends the page's visible body text to the bookmark's site information
// (for callers that found it blank before the scan).
void appendBodyText(const ElementList& elements, Record& bookmark);

} // namespace tessaly

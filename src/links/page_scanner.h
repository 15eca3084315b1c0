#pragma once

#include "core/database.h"
#include "links/html_tokenizer.h"

#include <cstdint>

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

// Appends the page's visible body text to the bookmark's site information
// (for callers that found it blank before the scan).
void appendBodyText(const ElementList& elements, Record& bookmark);

} // namespace tessaly

#pragma once

#include "export/export_file.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

class Record;

// The replacement tokens of a template, in the order they are filled in.
enum Token {
    kSiteInfo,
    kBase,
    kGenDate,
    kLocation,
    kUrl,
    kDescription,
    kDesc,
    kCategory,
    kCat,
    kRating,
    kRank,
    kKeyword,
    kLastVisit,
    kLastValidated,
    kValidated,
    kMovedTo,
    kComments,
    kUserName,
    kPassword,
    kExpires,
    kPageSize,
    kEmailAddress,
    kCustom1,
    kCustom2,
    kCustom3,
    kCatDesc,
    kTitle,
    kFilename,
    kProduct,
    kMetaKeywords,
    kMetaDescription,
    kOrder,
    kExportType,
    kBookmark,
    kTokenCount
};

// Their texts in upper case (they match in any letter case): the first of
// each in an element is filled in when a section is added, the next at the
// end of the run.
extern const std::array<std::string_view, kTokenCount> kTokens;

// What the tokens read: the bookmark last read and the run's settings.
struct TokenSource {
    const Record& bookmark;
    const ExportSettings& settings;
    const ExportNames& names;
    std::string_view typeName; // "Simple", "Table" or "Frame"
    std::int32_t today = 0;
    std::string_view categoryDescription; // of the bookmark's category
    // The token stands inside a tag, where a template may have left an
    // attribute unquoted: text values escape blanks and "=" as well.
    bool inTag = false;
    // The category's anchor: unique among the run's categories.
    std::string_view anchor;
};

// The text `token` stands for, ready for the page.
std::string tokenValue(Token token, const TokenSource& source);

// A category as an anchor: every ASCII character but the letters A to Z (in
// either case) becomes "_", so "News & Views" is "News___Views"; letters of
// other scripts are kept, blanks of any kind become "_". Two categories may
// share a name: the export numbers the repeats.
std::string anchorName(std::string_view category);

} // namespace tessaly

#pragma once

#include "framework/record_schema.h"

#include <string>
#include <string_view>

namespace tessaly {

// The fields of the bookmark record (file TESSLY, prefix URL) in storage
// order, with the descriptions, pictures and sizes the query editor shows.
enum class BookmarkField {
    Location,
    Description,
    Category,
    Rating,
    Keyword,
    SiteInfo,
    LastVisit,
    LastValidated,
    Validated,
    MovedTo,
    Comments,
    UserName,
    Password,
    Expires,
    PageSize,
    EmailAddress,
    OriginalFilename,
    Custom1,
    Custom2,
    Custom3,
};

const RecordSchema& bookmarkSchema();

// Whether `address` (trailing blanks aside) fits an address field whole.
bool fitsAddress(std::string_view address);
// The message that refuses an address too long to store.
std::string addressTooLong();

// The query editor's field list of the bookmark file (tags "URL", "LINKS"
// and "EXPORT" all use it).
std::string bookmarkQueryFieldList();

} // namespace tessaly

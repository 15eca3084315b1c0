#pragma once

#include <string>
#include <string_view>

// Text as it stands in HTML and as the program stores it: a stored
// description is plain text, so what comes from a page is decoded on the
// way in.
namespace tessaly::html {

// `text` with its character references decoded: named ones of HTML 4
// ("&amp;", "&eacute;"), decimal ("&#39;") and hexadecimal ("&#x27;"), the
// closing ";" optional as browsers allow. Text that is no reference ("AT&T")
// stays as it is.
std::string decodeReferences(std::string_view text);

} // namespace tessaly::html

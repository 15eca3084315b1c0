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

// Plain text made safe to stand between tags or inside an attribute: "&",
// "<", ">", "\"" and "'" become references, so a stored text can never open
// an element of its own nor end an attribute, wherever a template puts it.
// Control characters other than tab and the line breaks (ESC, NUL, DEL,
// U+0080-U+009F), which a page cannot hold, are left out.
std::string escape(std::string_view text);

// The same for a value between quotes in a tag; "\"" and "'" become
// "&quot;" and "&#39;" as well.
std::string escapeAttribute(std::string_view text);

// escape(text), which is also escapeAttribute(text), added to the end of
// `out`: a line made of many texts needs no string of its own for each.
void appendEscaped(std::string& out, std::string_view text);

// The same for text a template may put anywhere, an unquoted attribute
// included: blanks, "=", "`" and line breaks become references as well, so
// the value cannot end there either (a browser shows the same text).
std::string escapeAnywhere(std::string_view text);

// An address for a page's href="..." (or '...'): "\"", "'", "<", ">",
// blanks and control characters are percent-encoded (the address still leads to the same place) and
// "&" is written "&amp;", so the value can neither end the attribute nor the tag. An address that
// would run script (javascript:, vbscript:, data:) links nowhere ("#").
std::string escapeAddress(std::string_view address);

// A file name as one path segment of a relative link: every byte but the
// letters, digits and "-._~" percent-encoded, so a "#", "?", "%" or blank
// in the name is part of the name and not a fragment, a query or an escape.
// The result is also safe between quotes in a tag.
std::string encodeFileName(std::string_view name);

} // namespace tessaly::html

#pragma once

#include <string>
#include <string_view>

namespace tessaly::cli {

// How stored text is written by tessaly-cli. Text comes from imports and web
// pages, so it may hold tabs, line breaks and terminal control sequences; none
// of them may break a row or reach the terminal raw.
//
// Every format writes the control characters it does not define itself (C0,
// DEL and the C1 range U+0080-U+009F) as "\xHH", the character's number in two
// lower-case hex digits, and a byte that is not UTF-8 as its Windows-1252
// character, the rule by which the database stores such bytes.

// A field of a tab-separated row: tab, line feed, carriage return and the
// backslash become \t, \n, \r and \\, so every row is one line with one tab
// between fields and the text reads back exactly.
std::string tsvField(std::string_view value);

// A field of a comma-separated row (RFC 4180): quoted when it holds a comma,
// a quote, a line feed or a carriage return, with quotes doubled. Tab, line
// feed and carriage return stay as they are inside the quotes; a backslash is
// not escaped. A field a spreadsheet would take for a formula gets an
// apostrophe before it (see field_text::startsLikeFormula).
std::string csvField(std::string_view value);

// A message for the terminal: line feeds kept, tabs and every other control
// character written as escapes.
std::string messageText(std::string_view value);

} // namespace tessaly::cli

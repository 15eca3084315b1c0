#pragma once

#include <string>
#include <string_view>

// Stored text as it goes into a file another program reads: a
// spreadsheet, a terminal.
namespace tessaly::field_text {

// Control characters: C0, DEL and the C1 range U+0080-U+009F.
bool isControl(char32_t cp);

// Writes `cp` as "\xHH", its number in two lower-case hex digits.
void appendHex(std::string& out, char32_t cp);

// `value` with every control character written "\xHH" and a byte that is
// not UTF-8 as its Windows-1252 character, the rule by which the database
// stores such bytes. `special(out, cp)` writes the characters a format
// defines itself and returns false for the rest.
template <typename Special> std::string escapeControls(std::string_view value, Special special);

// Whether a spreadsheet would read `field` as a formula (or as the start
// of one): it begins with "=", "+", "-", "@", a tab or a carriage return,
// after any apostrophes (so that a text that begins with an apostrophe of
// its own keeps it through the round trip).
// Such a field is written with an apostrophe before it, which the program's
// own comma-separated import takes away again.
bool startsLikeFormula(std::string_view field);

} // namespace tessaly::field_text

#include "framework/utf8.h"

template <typename Special>
std::string tessaly::field_text::escapeControls(std::string_view value, Special special)
{
    std::string out;
    out.reserve(value.size());
    std::size_t pos = 0;
    while (pos < value.size()) {
        const std::size_t start = pos;
        const char32_t cp = utf8::decode(value, pos);
        if (special(out, cp)) {
            continue;
        }
        if (isControl(cp)) {
            appendHex(out, cp);
        } else if (pos - start == 1 && cp >= 0x80) {
            utf8::append(out, cp); // a stray byte: its Windows-1252 character
        } else {
            out.append(value.substr(start, pos - start));
        }
    }
    return out;
}

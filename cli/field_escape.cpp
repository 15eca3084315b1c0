#include "field_escape.h"

#include "framework/utf8.h"

#include <array>

namespace tessaly::cli {

namespace {

bool isControl(char32_t cp)
{
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

void appendHex(std::string& out, char32_t cp)
{
    constexpr std::array<char, 16> kDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                              '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    out += "\\x";
    out += kDigits[(cp >> 4) & 0xF];
    out += kDigits[cp & 0xF];
}

// Walks `value` a character at a time; `special` writes the characters the
// format defines itself and returns false for the rest, which are copied or,
// when they are control characters, escaped.
template <typename Special> std::string escape(std::string_view value, Special special)
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

} // namespace

std::string tsvField(std::string_view value)
{
    return escape(value, [](std::string& out, char32_t cp) {
        switch (cp) {
        case '\t':
            out += "\\t";
            return true;
        case '\n':
            out += "\\n";
            return true;
        case '\r':
            out += "\\r";
            return true;
        case '\\':
            out += "\\\\";
            return true;
        default:
            return false;
        }
    });
}

std::string csvField(std::string_view value)
{
    std::string body = escape(value, [](std::string& out, char32_t cp) {
        if (cp == '\t' || cp == '\n' || cp == '\r') {
            out += static_cast<char>(cp);
            return true;
        }
        if (cp == '"') {
            out += "\"\"";
            return true;
        }
        return false;
    });
    if (body.find_first_of(",\"\r\n") == std::string::npos) {
        return body;
    }
    return '"' + body + '"';
}

std::string messageText(std::string_view value)
{
    return escape(value, [](std::string& out, char32_t cp) {
        if (cp == '\n') {
            out += '\n';
            return true;
        }
        if (cp == '\t') {
            out += "\\t";
            return true;
        }
        return false;
    });
}

} // namespace tessaly::cli

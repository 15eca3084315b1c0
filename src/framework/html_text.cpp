#include "framework/html_text.h"

#include "framework/utf8.h"

#include <cctype>

#include <algorithm>
#include <array>
#include <cstdint>

namespace tessaly::html {

namespace {

struct NamedReference {
    std::string_view name;
    char32_t character;
};

// The named character references of HTML 4 and "&apos;", sorted by name
// for a binary search; the names of later HTML versions are rare in pages.
constexpr std::array<NamedReference, 253> kNamed = {{
    {"AElig", 0xC6},     {"Aacute", 0xC1},   {"Acirc", 0xC2},     {"Agrave", 0xC0},
    {"Alpha", 0x391},    {"Aring", 0xC5},    {"Atilde", 0xC3},    {"Auml", 0xC4},
    {"Beta", 0x392},     {"Ccedil", 0xC7},   {"Chi", 0x3A7},      {"Dagger", 0x2021},
    {"Delta", 0x394},    {"ETH", 0xD0},      {"Eacute", 0xC9},    {"Ecirc", 0xCA},
    {"Egrave", 0xC8},    {"Epsilon", 0x395}, {"Eta", 0x397},      {"Euml", 0xCB},
    {"Gamma", 0x393},    {"Iacute", 0xCD},   {"Icirc", 0xCE},     {"Igrave", 0xCC},
    {"Iota", 0x399},     {"Iuml", 0xCF},     {"Kappa", 0x39A},    {"Lambda", 0x39B},
    {"Mu", 0x39C},       {"Ntilde", 0xD1},   {"Nu", 0x39D},       {"OElig", 0x152},
    {"Oacute", 0xD3},    {"Ocirc", 0xD4},    {"Ograve", 0xD2},    {"Omega", 0x3A9},
    {"Omicron", 0x39F},  {"Oslash", 0xD8},   {"Otilde", 0xD5},    {"Ouml", 0xD6},
    {"Phi", 0x3A6},      {"Pi", 0x3A0},      {"Prime", 0x2033},   {"Psi", 0x3A8},
    {"Rho", 0x3A1},      {"Scaron", 0x160},  {"Sigma", 0x3A3},    {"THORN", 0xDE},
    {"Tau", 0x3A4},      {"Theta", 0x398},   {"Uacute", 0xDA},    {"Ucirc", 0xDB},
    {"Ugrave", 0xD9},    {"Upsilon", 0x3A5}, {"Uuml", 0xDC},      {"Xi", 0x39E},
    {"Yacute", 0xDD},    {"Yuml", 0x178},    {"Zeta", 0x396},     {"aacute", 0xE1},
    {"acirc", 0xE2},     {"acute", 0xB4},    {"aelig", 0xE6},     {"agrave", 0xE0},
    {"alefsym", 0x2135}, {"alpha", 0x3B1},   {"amp", 0x26},       {"and", 0x2227},
    {"ang", 0x2220},     {"apos", 0x27},     {"aring", 0xE5},     {"asymp", 0x2248},
    {"atilde", 0xE3},    {"auml", 0xE4},     {"bdquo", 0x201E},   {"beta", 0x3B2},
    {"brvbar", 0xA6},    {"bull", 0x2022},   {"cap", 0x2229},     {"ccedil", 0xE7},
    {"cedil", 0xB8},     {"cent", 0xA2},     {"chi", 0x3C7},      {"circ", 0x2C6},
    {"clubs", 0x2663},   {"cong", 0x2245},   {"copy", 0xA9},      {"crarr", 0x21B5},
    {"cup", 0x222A},     {"curren", 0xA4},   {"dArr", 0x21D3},    {"dagger", 0x2020},
    {"darr", 0x2193},    {"deg", 0xB0},      {"delta", 0x3B4},    {"diams", 0x2666},
    {"divide", 0xF7},    {"eacute", 0xE9},   {"ecirc", 0xEA},     {"egrave", 0xE8},
    {"empty", 0x2205},   {"emsp", 0x2003},   {"ensp", 0x2002},    {"epsilon", 0x3B5},
    {"equiv", 0x2261},   {"eta", 0x3B7},     {"eth", 0xF0},       {"euml", 0xEB},
    {"euro", 0x20AC},    {"exist", 0x2203},  {"fnof", 0x192},     {"forall", 0x2200},
    {"frac12", 0xBD},    {"frac14", 0xBC},   {"frac34", 0xBE},    {"frasl", 0x2044},
    {"gamma", 0x3B3},    {"ge", 0x2265},     {"gt", 0x3E},        {"hArr", 0x21D4},
    {"harr", 0x2194},    {"hearts", 0x2665}, {"hellip", 0x2026},  {"iacute", 0xED},
    {"icirc", 0xEE},     {"iexcl", 0xA1},    {"igrave", 0xEC},    {"image", 0x2111},
    {"infin", 0x221E},   {"int", 0x222B},    {"iota", 0x3B9},     {"iquest", 0xBF},
    {"isin", 0x2208},    {"iuml", 0xEF},     {"kappa", 0x3BA},    {"lArr", 0x21D0},
    {"lambda", 0x3BB},   {"lang", 0x2329},   {"laquo", 0xAB},     {"larr", 0x2190},
    {"lceil", 0x2308},   {"ldquo", 0x201C},  {"le", 0x2264},      {"lfloor", 0x230A},
    {"lowast", 0x2217},  {"loz", 0x25CA},    {"lrm", 0x200E},     {"lsaquo", 0x2039},
    {"lsquo", 0x2018},   {"lt", 0x3C},       {"macr", 0xAF},      {"mdash", 0x2014},
    {"micro", 0xB5},     {"middot", 0xB7},   {"minus", 0x2212},   {"mu", 0x3BC},
    {"nabla", 0x2207},   {"nbsp", 0xA0},     {"ndash", 0x2013},   {"ne", 0x2260},
    {"ni", 0x220B},      {"not", 0xAC},      {"notin", 0x2209},   {"nsub", 0x2284},
    {"ntilde", 0xF1},    {"nu", 0x3BD},      {"oacute", 0xF3},    {"ocirc", 0xF4},
    {"oelig", 0x153},    {"ograve", 0xF2},   {"oline", 0x203E},   {"omega", 0x3C9},
    {"omicron", 0x3BF},  {"oplus", 0x2295},  {"or", 0x2228},      {"ordf", 0xAA},
    {"ordm", 0xBA},      {"oslash", 0xF8},   {"otilde", 0xF5},    {"otimes", 0x2297},
    {"ouml", 0xF6},      {"para", 0xB6},     {"part", 0x2202},    {"permil", 0x2030},
    {"perp", 0x22A5},    {"phi", 0x3C6},     {"pi", 0x3C0},       {"piv", 0x3D6},
    {"plusmn", 0xB1},    {"pound", 0xA3},    {"prime", 0x2032},   {"prod", 0x220F},
    {"prop", 0x221D},    {"psi", 0x3C8},     {"quot", 0x22},      {"rArr", 0x21D2},
    {"radic", 0x221A},   {"rang", 0x232A},   {"raquo", 0xBB},     {"rarr", 0x2192},
    {"rceil", 0x2309},   {"rdquo", 0x201D},  {"real", 0x211C},    {"reg", 0xAE},
    {"rfloor", 0x230B},  {"rho", 0x3C1},     {"rlm", 0x200F},     {"rsaquo", 0x203A},
    {"rsquo", 0x2019},   {"sbquo", 0x201A},  {"scaron", 0x161},   {"sdot", 0x22C5},
    {"sect", 0xA7},      {"shy", 0xAD},      {"sigma", 0x3C3},    {"sigmaf", 0x3C2},
    {"sim", 0x223C},     {"spades", 0x2660}, {"sub", 0x2282},     {"sube", 0x2286},
    {"sum", 0x2211},     {"sup", 0x2283},    {"sup1", 0xB9},      {"sup2", 0xB2},
    {"sup3", 0xB3},      {"supe", 0x2287},   {"szlig", 0xDF},     {"tau", 0x3C4},
    {"there4", 0x2234},  {"theta", 0x3B8},   {"thetasym", 0x3D1}, {"thinsp", 0x2009},
    {"thorn", 0xFE},     {"tilde", 0x2DC},   {"times", 0xD7},     {"trade", 0x2122},
    {"uArr", 0x21D1},    {"uacute", 0xFA},   {"uarr", 0x2191},    {"ucirc", 0xFB},
    {"ugrave", 0xF9},    {"uml", 0xA8},      {"upsih", 0x3D2},    {"upsilon", 0x3C5},
    {"uuml", 0xFC},      {"weierp", 0x2118}, {"xi", 0x3BE},       {"yacute", 0xFD},
    {"yen", 0xA5},       {"yuml", 0xFF},     {"zeta", 0x3B6},     {"zwj", 0x200D},
    {"zwnj", 0x200C},
}};

static_assert(std::is_sorted(kNamed.begin(), kNamed.end(),
                             [](const NamedReference& a, const NamedReference& b) {
                                 return a.name < b.name;
                             }),
              "the binary search needs the names in order");

// Numeric references to nothing a text can hold become U+FFFD, as browsers
// read them; C1 numbers are Windows-1252, as browsers read them too.
char32_t numericCharacter(std::uint32_t number)
{
    if (number >= 0x80 && number < 0xA0) {
        const std::string byte(1, static_cast<char>(number));
        std::size_t pos = 0;
        return utf8::decode(byte, pos);
    }
    if (number == 0 || number > 0x10FFFF || (number >= 0xD800 && number <= 0xDFFF)) {
        return 0xFFFD;
    }
    return number;
}

bool isAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The reference that begins at text[at] ("&..."), decoded into `out`; the
// number of bytes it takes, 0 when it is no reference.
std::size_t decodeOne(std::string_view text, std::size_t at, std::string& out)
{
    std::size_t pos = at + 1;
    if (pos < text.size() && text[pos] == '#') {
        ++pos;
        const bool hex = pos < text.size() && (text[pos] == 'x' || text[pos] == 'X');
        pos += hex ? 1 : 0;
        const std::size_t digits = pos;
        std::uint32_t number = 0;
        for (; pos < text.size(); ++pos) {
            const char c = text[pos];
            int value = -1;
            if (c >= '0' && c <= '9') {
                value = c - '0';
            } else if (hex && c >= 'a' && c <= 'f') {
                value = c - 'a' + 10;
            } else if (hex && c >= 'A' && c <= 'F') {
                value = c - 'A' + 10;
            } else {
                break;
            }
            number = std::min<std::uint32_t>(
                number * (hex ? 16 : 10) + static_cast<std::uint32_t>(value), 0x110000);
        }
        if (pos == digits) {
            return 0;
        }
        pos += pos < text.size() && text[pos] == ';' ? 1 : 0;
        utf8::append(out, numericCharacter(number));
        return pos - at;
    }
    std::size_t end = pos;
    while (end < text.size() && end - pos < 10 && isAsciiAlnum(text[end])) {
        ++end;
    }
    const std::string_view name = text.substr(pos, end - pos);
    const auto* found = std::lower_bound(
        kNamed.begin(), kNamed.end(), name,
        [](const NamedReference& entry, std::string_view key) { return entry.name < key; });
    if (name.empty() || found == kNamed.end() || found->name != name) {
        return 0;
    }
    end += end < text.size() && text[end] == ';' ? 1 : 0;
    utf8::append(out, found->character);
    return end - at;
}

} // namespace

std::string decodeReferences(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t amp = text.find('&', pos);
        if (amp == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, amp - pos));
        const std::size_t taken = decodeOne(text, amp, out);
        if (taken == 0) {
            out.push_back('&');
            pos = amp + 1;
        } else {
            pos = amp + taken;
        }
    }
    return out;
}

namespace {

// Control characters other than tab and the line breaks: a page cannot
// hold them (ESC, NUL, DEL and U+0080-U+009F, the latter as UTF-8's C2 80
// to C2 9F). Returns the bytes one takes at text[at], 0 for any other.
std::size_t controlAt(std::string_view text, std::size_t at)
{
    const auto byte = static_cast<unsigned char>(text[at]);
    if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F) {
        return 1;
    }
    if (byte == 0xC2 && at + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[at + 1]);
        return next >= 0x80 && next <= 0x9F ? 2 : 0;
    }
    return 0;
}

// Whether a byte may need more than copying in escaped(): the characters it
// writes as references, and every byte that may begin a control character.
constexpr std::array<bool, 256> kEscapedBytes = [] {
    std::array<bool, 256> marks{};
    for (std::size_t byte = 0; byte < 0x20; ++byte) {
        marks[byte] = byte != '\t' && byte != '\n' && byte != '\r';
    }
    for (const unsigned char byte : {'&', '<', '>', '"', '\'', '\x7f', '\xc2'}) {
        marks[byte] = true;
    }
    return marks;
}();

// The length of the run of bytes from text[at] that escaped() copies as
// they stand: pages of a hundred thousand bookmarks go through here, and
// most of their text needs nothing.
std::size_t plainRun(std::string_view text, std::size_t at)
{
    std::size_t end = at;
    while (end < text.size() && !kEscapedBytes[static_cast<unsigned char>(text[end])]) {
        ++end;
    }
    return end - at;
}

void escapeTo(std::string& out, std::string_view text)
{
    out.reserve(out.size() + text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (const std::size_t run = plainRun(text, at); run != 0) {
            out.append(text.substr(at, run));
            at += run;
            if (at == text.size()) {
                break;
            }
        }
        // Written as nothing: a page shows no such character either.
        if (const std::size_t control = controlAt(text, at); control != 0) {
            at += control - 1;
            continue;
        }
        const char c = text[at];
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            // A template may put any text between single quotes.
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
}

std::string escaped(std::string_view text)
{
    std::string out;
    escapeTo(out, text);
    return out;
}

// Whether a browser would run `address` as script when its link is
// followed: the scheme as browsers read it (blanks and controls dropped,
// any letter case).
bool runsScript(std::string_view address)
{
    std::string scheme;
    for (const char c : address) {
        if (static_cast<unsigned char>(c) <= ' ') {
            continue;
        }
        if (c == ':') {
            return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
        }
        scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (scheme.size() > 16) {
            return false;
        }
    }
    return false;
}

} // namespace

std::string escape(std::string_view text)
{
    return escaped(text);
}

std::string escapeAttribute(std::string_view text)
{
    return escaped(text);
}

void appendEscaped(std::string& out, std::string_view text)
{
    escapeTo(out, text);
}

std::string escapeAnywhere(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : escaped(text)) {
        switch (c) {
        case ' ':
            out += "&#32;";
            break;
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '=':
            out += "&#61;";
            break;
        case '`':
            out += "&#96;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

namespace {

// The bytes escapeAddress() writes otherwise than as they stand.
constexpr std::array<bool, 256> kAddressBytes = [] {
    std::array<bool, 256> marks{};
    for (std::size_t byte = 0; byte <= ' '; ++byte) {
        marks[byte] = true;
    }
    for (const unsigned char byte : {'"', '<', '>', '\'', '&', '\x7f'}) {
        marks[byte] = true;
    }
    return marks;
}();

} // namespace

std::string escapeAddress(std::string_view address)
{
    if (runsScript(address)) {
        return "#"; // a bookmarklet stays a bookmark, never script in a page
    }
    std::string out;
    out.reserve(address.size());
    for (std::size_t at = 0; at < address.size(); ++at) {
        // Most addresses need nothing: copied a run at a time.
        std::size_t end = at;
        while (end < address.size() && !kAddressBytes[static_cast<unsigned char>(address[end])]) {
            ++end;
        }
        out.append(address.substr(at, end - at));
        if (end == address.size()) {
            break;
        }
        at = end;
        const char c = address[at];
        switch (c) {
        case '"':
            out += "%22";
            break;
        case '<':
            out += "%3C";
            break;
        case '>':
            out += "%3E";
            break;
        case '\'':
            out += "%27";
            break;
        case '&':
            out += "&amp;";
            break;
        default:
            // Blanks and controls too: browsers send them encoded anyway,
            // and an address that holds none cannot add an attribute even
            // where a template left it unquoted.
            if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f') {
                constexpr char kHex[] = "0123456789ABCDEF";
                out += '%';
                out += kHex[static_cast<unsigned char>(c) >> 4];
                out += kHex[static_cast<unsigned char>(c) & 15];
            } else {
                out += c;
            }
        }
    }
    return out;
}

std::string encodeFileName(std::string_view name)
{
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4U];
            out += kHex[byte & 0x0FU];
        }
    }
    return out;
}

} // namespace tessaly::html

#include "framework/text.h"

#include "framework/utf8.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <locale.h>

namespace tessaly::text {

namespace {

// The C.UTF-8 locale carries the full Unicode case tables in every glibc
// installation and does not depend on the user's own locale settings, so
// keys sort the same way for every user.
locale_t unicodeLocale()
{
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return locale;
}

char32_t mapUpper(char32_t cp)
{
    if (cp < 0x80) {
        return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
    }
    const locale_t locale = unicodeLocale();
    if (locale == locale_t{}) {
        return cp;
    }
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), locale));
}

char32_t mapLower(char32_t cp)
{
    if (cp < 0x80) {
        return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    }
    const locale_t locale = unicodeLocale();
    if (locale == locale_t{}) {
        return cp;
    }
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), locale));
}

// Lambdas rather than functions, so that mapCase() inlines them.
constexpr auto asciiUpper = [](char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
};

constexpr auto asciiLower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
};

// `ascii` is `map` on ASCII alone, inlined: keys of imports are mostly ASCII
// and are folded several times for every row.
template <typename Map, typename Ascii>
std::string mapCase(std::string_view text, Map map, Ascii ascii)
{
    std::string out;
    if (isAscii(text)) {
        out.resize(text.size());
        std::transform(text.begin(), text.end(), out.begin(), ascii);
        return out;
    }
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        utf8::append(out, map(utf8::decode(text, pos)));
    }
    return out;
}

template <typename Fold> int compareBy(std::string_view a, std::string_view b, Fold fold)
{
    a = clip(a);
    b = clip(b);
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = fold(utf8::decode(a, i));
        const char32_t cb = fold(utf8::decode(b, j));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (i < a.size()) {
        return 1;
    }
    return j < b.size() ? -1 : 0;
}

} // namespace

bool isAscii(std::string_view text)
{
    return utf8::asciiRun(text) == text.size();
}

std::string_view clip(std::string_view text)
{
    const auto end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

std::string_view trim(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const auto begin = text.find_first_not_of(blanks);
    if (begin == std::string_view::npos) {
        return {};
    }
    const auto end = text.find_last_not_of(blanks);
    return text.substr(begin, end - begin + 1);
}

std::string_view fit(std::string_view text, std::size_t width)
{
    return clip(utf8::prefix(text, width));
}

std::string padded(std::string_view text, std::size_t width)
{
    std::string out{utf8::prefix(text, width)};
    const std::size_t chars = utf8::length(out);
    out.append(width - chars, ' ');
    return out;
}

std::string upper(std::string_view text)
{
    return mapCase(text, mapUpper, asciiUpper);
}

std::string lower(std::string_view text)
{
    return mapCase(text, mapLower, asciiLower);
}

char32_t foldCase(char32_t cp)
{
    // Upper case of lower case, as case-insensitive keys have always ordered
    // ("_" after "Z"); it also folds letters with two lower forms (ſ, ς).
    return mapUpper(mapLower(cp));
}

namespace {

// Eight ASCII bytes in upper case at once: a byte from 'a' to 'z' loses its
// 0x20 bit. Every byte is below 0x80, so no sum carries into the next byte.
std::uint64_t upperAsciiWord(std::uint64_t word)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    const std::uint64_t fromA = word + kOnes * (0x80U - 'a');     // high bit: 'a' or above
    const std::uint64_t pastZ = word + kOnes * (0x80U - 'z' - 1); // high bit: above 'z'
    return word ^ ((fromA & ~pastZ & (kOnes * 0x80U)) >> 2U);
}

} // namespace

std::string foldKey(std::string_view text)
{
    std::string out;
    foldKeyInto(text, out);
    return out;
}

// Keys are folded for every row an import, export or search reads, and
// nearly all of them are ASCII: that part goes eight bytes at a time.
void foldKeyInto(std::string_view text, std::string& out)
{
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    text = clip(text);
    out.resize(text.size());
    std::size_t pos = 0;
    for (std::uint64_t word = 0; pos + sizeof word <= text.size(); pos += sizeof word) {
        std::memcpy(&word, text.data() + pos, sizeof word);
        if ((word & kHighBits) != 0) {
            break;
        }
        word = upperAsciiWord(word);
        std::memcpy(out.data() + pos, &word, sizeof word);
    }
    for (; pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80U; ++pos) {
        out[pos] = asciiUpper(text[pos]);
    }
    if (pos == text.size()) {
        return;
    }
    out.resize(pos);
    while (pos < text.size()) {
        utf8::append(out, foldCase(utf8::decode(text, pos)));
    }
}

int compare(std::string_view a, std::string_view b)
{
    // Byte order of UTF-8 is character-code order, so no decoding is needed.
    a = clip(a);
    b = clip(b);
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareNoCase(std::string_view a, std::string_view b)
{
    return compareBy(a, b, foldCase);
}

bool startsWithNoCase(std::string_view text, std::string_view start)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (j < start.size()) {
        if (i >= text.size()) {
            return false;
        }
        if (foldCase(utf8::decode(text, i)) != foldCase(utf8::decode(start, j))) {
            return false;
        }
    }
    return true;
}

} // namespace tessaly::text

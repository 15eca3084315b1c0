#include "framework/utf8.h"

#include <cstdint>
#include <cstring>

namespace tessaly::utf8 {

namespace {

// Windows-1252 for the bytes 0x80-0x9F; the five it leaves undefined keep
// their Latin-1 control character, so every byte has a character.
constexpr char32_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t foreignByte(unsigned char byte)
{
    return byte >= 0x80U && byte < 0xA0U ? kWindows1252[byte - 0x80U] : byte;
}

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0U) == 0x80U;
}

} // namespace

int windows1252Byte(char32_t cp)
{
    if (cp < 0x80U || (cp >= 0xA0U && cp <= 0xFFU)) {
        return static_cast<int>(cp);
    }
    for (unsigned i = 0; i < 32; ++i) {
        // The five undefined bytes keep their control characters, which no
        // printable text holds.
        if (kWindows1252[i] == cp && cp >= 0x100U) {
            return static_cast<int>(0x80U + i);
        }
    }
    return -1;
}

char32_t decode(std::string_view text, std::size_t& pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80U) {
        ++pos;
        return lead;
    }
    std::size_t extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0U) == 0xC0U) {
        extra = 1;
        cp = lead & 0x1FU;
        minimum = 0x80;
    } else if ((lead & 0xF0U) == 0xE0U) {
        extra = 2;
        cp = lead & 0x0FU;
        minimum = 0x800;
    } else if ((lead & 0xF8U) == 0xF0U) {
        extra = 3;
        cp = lead & 0x07U;
        minimum = 0x10000;
    } else {
        ++pos;
        return foreignByte(lead);
    }
    if (pos + extra >= text.size()) {
        ++pos;
        return foreignByte(lead);
    }
    for (std::size_t i = 1; i <= extra; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if (!isContinuation(byte)) {
            ++pos;
            return foreignByte(lead);
        }
        cp = (cp << 6U) | (byte & 0x3FU);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return foreignByte(lead);
    }
    pos += extra + 1;
    return cp;
}

void append(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0U | (cp >> 6U)));
        out.push_back(static_cast<char>(0x80U | (cp & 0x3FU)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0U | (cp >> 12U)));
        out.push_back(static_cast<char>(0x80U | ((cp >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | (cp & 0x3FU)));
    } else {
        out.push_back(static_cast<char>(0xF0U | (cp >> 18U)));
        out.push_back(static_cast<char>(0x80U | ((cp >> 12U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | ((cp >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | (cp & 0x3FU)));
    }
}

bool isValid(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        // Eight bytes at a time while they are ASCII, as most stored text
        // is: every field of every record read is checked here.
        std::uint64_t word = 0;
        if (pos + sizeof word <= text.size()) {
            std::memcpy(&word, text.data() + pos, sizeof word);
            if ((word & 0x8080808080808080ULL) == 0) {
                pos += sizeof word;
                continue;
            }
        }
        const auto lead = static_cast<unsigned char>(text[pos]);
        if (lead < 0x80U) {
            ++pos;
            continue;
        }
        // A well-formed sequence takes more than one byte; a single byte
        // above 0x7F was decoded as a foreign byte.
        const std::size_t start = pos;
        decode(text, pos);
        if (pos - start == 1) {
            return false;
        }
    }
    return true;
}

std::string valid(std::string_view text)
{
    if (isValid(text)) {
        return std::string{text};
    }
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (std::size_t pos = 0; pos < text.size();) {
        append(out, decode(text, pos));
    }
    return out;
}

std::string withoutByteOrderMark(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        return std::string{bytes.substr(3)};
    }
    const bool little = bytes.starts_with("\xFF\xFE");
    if (!little && !bytes.starts_with("\xFE\xFF")) {
        return std::string{bytes};
    }
    const auto unitAt = [&](std::size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return little ? (b << 8U) | a : (a << 8U) | b;
    };
    std::string out;
    std::size_t i = 2;
    for (; i + 1 < bytes.size(); i += 2) {
        const char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                append(out, 0x10000 + ((unit - 0xD800) << 10U) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        append(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacementCharacter : unit);
    }
    if (i < bytes.size()) {
        append(out, kReplacementCharacter);
    }
    return out;
}

std::size_t length(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80U) {
            ++pos;
        } else {
            decode(text, pos);
        }
        ++count;
    }
    return count;
}

std::size_t offsetOf(std::string_view text, std::size_t index)
{
    std::size_t pos = 0;
    for (std::size_t i = 0; i < index && pos < text.size(); ++i) {
        if (static_cast<unsigned char>(text[pos]) < 0x80U) {
            ++pos;
        } else {
            decode(text, pos);
        }
    }
    return pos;
}

std::string_view prefix(std::string_view text, std::size_t count)
{
    if (text.size() <= count) {
        return text; // fewer bytes than characters asked for: all of it fits
    }
    return text.substr(0, offsetOf(text, count));
}

std::string_view mid(std::string_view text, std::size_t start, std::size_t count)
{
    const std::size_t begin = offsetOf(text, start);
    const std::string_view rest = text.substr(begin);
    return prefix(rest, count);
}

} // namespace tessaly::utf8

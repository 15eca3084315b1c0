#include "links/page_text.h"

#include "framework/html_text.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <iterator>

namespace tessaly {

namespace {

// The charset named after "charset=" in `text` (upper or lower case),
// without quotes; empty when there is none.
std::string charsetIn(std::string_view text)
{
    const std::string lower = text::lower(text);
    const auto at = lower.find("charset=");
    if (at == std::string::npos) {
        return {};
    }
    std::string_view rest = std::string_view{lower}.substr(at + 8);
    rest = rest.substr(std::min(rest.find_first_not_of("\"' "), rest.size()));
    return std::string{rest.substr(0, rest.find_first_of("\"'; >/\t\r\n"))};
}

} // namespace

namespace {

// Where the next "<meta" of an ASCII block begins, in any letter case;
// npos when there is none. The block is not copied to look for it.
std::size_t nextMetaTag(std::string_view block, std::size_t from)
{
    for (auto at = block.find('<', from); at != std::string_view::npos;
         at = block.find('<', at + 1)) {
        constexpr std::string_view kMeta = "<meta";
        const std::string_view here = block.substr(at, kMeta.size());
        if (here.size() == kMeta.size() &&
            std::equal(here.begin(), here.end(), kMeta.begin(), [](char c, char lower) {
                return (c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) == lower;
            })) {
            return at;
        }
    }
    return std::string_view::npos;
}

} // namespace

std::string declaredCharset(std::string_view block)
{
    if (text::isAscii(block)) {
        // Lower case changes no position of an ASCII block, so its tags
        // are found in the block itself.
        for (auto at = nextMetaTag(block, 0); at != std::string_view::npos;
             at = nextMetaTag(block, at + 1)) {
            const auto end = block.find('>', at);
            if (std::string found = charsetIn(block.substr(at, end - at)); !found.empty()) {
                return found;
            }
        }
        return {};
    }
    const std::string lower = text::lower(block);
    for (auto at = lower.find("<meta"); at != std::string::npos; at = lower.find("<meta", at + 1)) {
        const auto end = lower.find('>', at);
        if (std::string found = charsetIn(std::string_view{lower}.substr(at, end - at));
            !found.empty()) {
            return found;
        }
    }
    return {};
}

namespace {

// Browsers read a page labelled Latin-1 or ASCII as Windows-1252, which
// only adds characters where Latin-1 has control codes.
std::string iconvName(const std::string& label)
{
    if (label == "iso-8859-1" || label == "latin1" || label == "us-ascii" || label == "ascii" ||
        label == "iso_8859-1" || label == "l1") {
        return "WINDOWS-1252";
    }
    return label;
}

std::string windows1252(std::string_view block)
{
    std::string out;
    for (const char c : block) {
        std::size_t pos = 0;
        utf8::append(out, utf8::decode(std::string_view{&c, 1}, pos));
    }
    return out;
}

const auto kNoConverter = reinterpret_cast<iconv_t>(-1);

// Converts with an open converter; a byte the charset does not allow is
// read as Windows-1252. Returns how many bytes at the end were left
// unconverted because they begin a character the block does not finish.
std::size_t convertWith(iconv_t converter, std::string_view block, std::string& out)
{
    std::string input{block};
    char* in = input.data();
    std::size_t inLeft = input.size();
    std::array<char, 1024> buffer{};
    while (inLeft > 0) {
        char* outAt = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t done = iconv(converter, &in, &inLeft, &outAt, &outLeft);
        out.append(buffer.data(), static_cast<std::size_t>(outAt - buffer.data()));
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            if (errno == EINVAL) {
                return inLeft; // a character cut at the end of the block
            }
            out += windows1252(std::string_view{in, 1});
            ++in;
            --inLeft;
        }
    }
    return 0;
}

// Converts with iconv; false when the charset is unknown.
bool convert(std::string_view block, const std::string& charset, std::string& out)
{
    iconv_t converter = iconv_open("UTF-8", iconvName(charset).c_str());
    if (converter == kNoConverter) {
        return false;
    }
    convertWith(converter, block, out);
    iconv_close(converter);
    return true;
}

// The length of `block` without a UTF-8 sequence begun but not finished at
// its end.
std::size_t withoutCutCharacter(std::string_view block)
{
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, block.size()); ++back) {
        const auto c = static_cast<unsigned char>(block[block.size() - back]);
        if ((c & 0xC0) != 0x80) {
            const std::size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            return need > back ? block.size() - back : block.size();
        }
    }
    return block.size();
}

} // namespace

std::string decodePage(std::string_view block, std::string_view contentType, bool cut)
{
    std::string out;
    for (const std::string& charset : {charsetIn(contentType), declaredCharset(block)}) {
        if (!charset.empty() && convert(block, charset, out)) {
            return out;
        }
        out.clear();
    }
    const std::string_view whole = cut ? block.substr(0, withoutCutCharacter(block)) : block;
    return utf8::isValid(whole) ? std::string{whole} : windows1252(block);
}

PageDecoder::~PageDecoder()
{
    if (converter_ != nullptr) {
        iconv_close(static_cast<iconv_t>(converter_));
    }
}

void PageDecoder::choose(std::string_view block, std::string_view contentType)
{
    for (const std::string& charset : {charsetIn(contentType), declaredCharset(block)}) {
        if (charset.empty()) {
            continue;
        }
        if (iconv_t converter = iconv_open("UTF-8", iconvName(charset).c_str());
            converter != kNoConverter) {
            converter_ = converter;
            kind_ = Kind::Converter;
            return;
        }
    }
    kind_ =
        utf8::isValid(block.substr(0, withoutCutCharacter(block))) ? Kind::Utf8 : Kind::Windows1252;
}

std::string PageDecoder::decode(std::string_view block, std::string_view contentType)
{
    if (kind_ == Kind::Undecided) {
        choose(block, contentType);
    }
    std::string out;
    if (kind_ == Kind::Utf8 && carry_.empty()) {
        // The usual block: nothing carried over, so it is read where it
        // lies instead of being copied behind the carry first.
        const std::size_t whole = withoutCutCharacter(block);
        out = utf8::valid(block.substr(0, whole));
        carry_ = block.substr(whole);
        return out;
    }
    std::string bytes = std::move(carry_);
    carry_.clear();
    bytes.append(block);
    switch (kind_) {
    case Kind::Converter: {
        const std::size_t left = convertWith(static_cast<iconv_t>(converter_), bytes, out);
        carry_ = bytes.substr(bytes.size() - left);
        break;
    }
    case Kind::Utf8: {
        const std::size_t whole = withoutCutCharacter(bytes);
        out = utf8::valid(std::string_view{bytes}.substr(0, whole));
        carry_ = bytes.substr(whole);
        break;
    }
    default:
        out = windows1252(bytes);
        break;
    }
    return out;
}

std::string PageDecoder::finish()
{
    std::string out = windows1252(carry_);
    carry_.clear();
    return out;
}

std::string plainText(std::string_view html)
{
    return withoutControls(html::decodeReferences(html));
}

std::string withoutControls(std::string_view text)
{
    std::string out{text};
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < ' ' || byte == 0x7F) {
            c = ' ';
        }
    }
    return out;
}

} // namespace tessaly

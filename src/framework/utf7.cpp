#include "framework/utf7.h"

#include "framework/utf8.h"

#include <cstdint>

namespace tessaly::utf7 {

namespace {

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

// The UTF-16 units of one base64 run, joined into characters.
class Utf16Run {
public:
    explicit Utf16Run(std::string& out) : out_(out) {}

    void unit(char32_t u)
    {
        if (high_ != 0) {
            if (u >= 0xDC00 && u <= 0xDFFF) {
                utf8::append(out_, 0x10000 + ((high_ - 0xD800) << 10U) + (u - 0xDC00));
                high_ = 0;
                return;
            }
            utf8::append(out_, 0xFFFD);
            high_ = 0;
        }
        if (u >= 0xD800 && u <= 0xDBFF) {
            high_ = u;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            utf8::append(out_, 0xFFFD);
        } else {
            utf8::append(out_, u);
        }
    }

    void end()
    {
        if (high_ != 0) {
            utf8::append(out_, 0xFFFD);
            high_ = 0;
        }
    }

private:
    std::string& out_;
    char32_t high_ = 0;
};

} // namespace

std::string decode(std::string_view text)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i++];
        if (c != '+') {
            out += c;
            continue;
        }
        if (i < text.size() && text[i] == '-') {
            out += '+';
            ++i;
            continue;
        }
        Utf16Run run{out};
        std::uint32_t bits = 0;
        int count = 0;
        while (i < text.size() && base64Value(text[i]) >= 0) {
            bits = (bits << 6U) | static_cast<std::uint32_t>(base64Value(text[i++]));
            count += 6;
            if (count >= 16) {
                count -= 16;
                run.unit(static_cast<char32_t>((bits >> static_cast<unsigned>(count)) & 0xFFFFU));
            }
        }
        run.end();
        if (i < text.size() && text[i] == '-') {
            ++i; // the end of the run, no character of the text
        }
    }
    return utf8::valid(out);
}

} // namespace tessaly::utf7

#include "framework/field_text.h"

#include <array>

namespace tessaly::field_text {

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

bool startsLikeFormula(std::string_view field)
{
    return !field.empty() &&
           std::string_view{"=+-@\t\r"}.find(field.front()) != std::string_view::npos;
}

} // namespace tessaly::field_text

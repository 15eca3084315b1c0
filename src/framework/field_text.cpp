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
    // Apostrophes before a formula count as the start of it: such a text
    // is guarded once more, or reading it back would take away the user's
    // own apostrophe along with ours.
    const std::size_t first = field.find_first_not_of('\'');
    return first != std::string_view::npos &&
           std::string_view{"=+-@\t\r"}.find(field[first]) != std::string_view::npos;
}

} // namespace tessaly::field_text

#include "reports/text_breaks.h"

#include "framework/utf8.h"

#include <fribidi.h>
#include <pango/pango.h>

namespace tessaly::breaks {

std::vector<std::uint8_t> positions(std::string_view utf8)
{
    std::vector<std::uint8_t> flags(utf8.size() + 1, 0);
    const auto length = static_cast<int>(utf8.size());
    const auto characters = static_cast<int>(g_utf8_strlen(utf8.data(), length));
    std::vector<PangoLogAttr> attrs(static_cast<std::size_t>(characters) + 1);
    // Language tailors the rules only for the scripts that need it, and
    // those it finds by the characters themselves.
    pango_get_log_attrs(utf8.data(), length, -1, pango_language_get_default(), attrs.data(),
                        characters + 1);
    std::size_t pos = 0;
    for (const PangoLogAttr& attr : attrs) {
        flags[pos] = static_cast<std::uint8_t>((attr.is_cursor_position != 0U ? kCharacter : 0) |
                                               (attr.is_line_break != 0U ? kLine : 0));
        if (pos < utf8.size()) {
            static_cast<void>(utf8::decode(utf8, pos));
        }
    }
    return flags;
}

Direction firstStrong(std::string_view utf8)
{
    for (std::size_t pos = 0; pos < utf8.size();) {
        const FriBidiCharType type = fribidi_get_bidi_type(utf8::decode(utf8, pos));
        if (FRIBIDI_IS_LETTER(type)) {
            return FRIBIDI_IS_RTL(type) ? Direction::RightToLeft : Direction::LeftToRight;
        }
    }
    return Direction::Neutral;
}

} // namespace tessaly::breaks

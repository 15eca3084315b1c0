#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Where a report may end a line of a text, and which way its lines read,
// by the Unicode rules as Pango and FriBidi know them: a vowel sign, an
// accent, a joined emoji or a flag stays with its letter, Thai breaks
// between its words though it writes no blanks, Japanese never starts a
// line with a small kana or a prolonged sound mark.
namespace tessaly::breaks {

// A flag for each byte offset of a text, its end included.
enum : std::uint8_t {
    kCharacter = 1, // a character (a whole cluster) starts here: a cut may fall here
    kLine = 2,      // a line may end here and the next begin
};

// The flags of `utf8` (valid UTF-8), size()+1 of them; 0 inside a character
// and inside a cluster. Thread-safe.
std::vector<std::uint8_t> positions(std::string_view utf8);

enum class Direction { Neutral, LeftToRight, RightToLeft };

// The direction of `utf8`'s first letter that has one (Latin, Hebrew,
// Arabic...), Neutral when it has none (digits and punctuation only).
Direction firstStrong(std::string_view utf8);

} // namespace tessaly::breaks

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 helpers for text fields whose widths count characters, not bytes.
// Malformed bytes are never rejected: each one counts as one character, so
// text read from foreign files can always be measured, cut and written back.
namespace tessaly::utf8 {

// Decodes the character at `pos` and advances `pos` past it. A malformed
// byte yields U+FFFD and advances by one byte.
char32_t decode(std::string_view text, std::size_t& pos);

// Appends the UTF-8 form of `cp` to `out`.
void append(std::string& out, char32_t cp);

// Number of characters in `text`.
std::size_t length(std::string_view text);

// Byte offset of character number `index` (0-based); text.size() when past the end.
std::size_t offsetOf(std::string_view text, std::size_t index);

// The first `count` characters of `text`; never splits a character.
std::string_view prefix(std::string_view text, std::size_t count);

// Characters [start, start + count) of `text`, 0-based; clamped to the text.
std::string_view mid(std::string_view text, std::size_t start, std::size_t count);

} // namespace tessaly::utf8

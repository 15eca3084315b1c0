#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 helpers for text fields whose widths count characters, not bytes.
// Bytes that are not well-formed UTF-8 are read by one rule everywhere: each
// is one character of Windows-1252, the encoding of the Windows-era files
// this program reads. So "caf\xE9" is "café", and two different byte
// strings never turn into the same replacement character.
namespace tessaly::utf8 {

// Decodes the character at `pos` and advances `pos` past it. A malformed
// byte yields its Windows-1252 character and advances by one byte.
char32_t decode(std::string_view text, std::size_t& pos);

// True when `text` is well-formed UTF-8 throughout.
bool isValid(std::string_view text);

// Number of bytes at the start of `text` below 0x80 (plain ASCII), found
// eight at a time: pages and fields are mostly such runs.
std::size_t asciiRun(std::string_view text);

// `text` as well-formed UTF-8: itself when it already is, else with each
// malformed byte replaced by its Windows-1252 character.
std::string valid(std::string_view text);

// Appends the UTF-8 form of `cp` to `out`.
void append(std::string& out, char32_t cp);

// Text of a file that begins with a byte order mark (UTF-8, UTF-16LE or
// UTF-16BE) as UTF-8 without the mark; other text as it is. A broken
// UTF-16 unit becomes U+FFFD.
std::string withoutByteOrderMark(std::string_view bytes);

// The Windows-1252 byte of `cp`, or -1 when that encoding has none (the
// printed reports' standard fonts are encoded so).
int windows1252Byte(char32_t cp);

// Number of characters in `text`.
std::size_t length(std::string_view text);

// Byte offset of character number `index` (0-based); text.size() when past the end.
std::size_t offsetOf(std::string_view text, std::size_t index);

// The first `count` characters of `text`; never splits a character.
std::string_view prefix(std::string_view text, std::size_t count);

// Characters [start, start + count) of `text`, 0-based; clamped to the text.
std::string_view mid(std::string_view text, std::size_t start, std::size_t count);

} // namespace tessaly::utf8

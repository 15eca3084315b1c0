#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// Levels of a standard message: what the message manager does with it.
enum class MessageLevel : std::uint8_t {
    Benign = 0,  // nothing shown
    User = 1,    // a Yes/No question
    Program = 2, // a program error, handled as fatal
    Fatal = 3,   // shown, then the program halts
    Cancel = 4,  // a Yes/No question
    Notify = 5,  // an OK box
};

struct MessageEntry {
    std::uint16_t number = 0;
    std::uint8_t level = 0;
    std::string title; // at most 255 bytes
    std::string text;  // at most 255 bytes
};

// The table of messages. Several entries may share a number; lookups scan
// from the last entry towards the first, so the entry added last wins.
class MessageTable final {
public:
    // Appends the entries of a packed list: a 16-bit count, then per entry the
    // number (16-bit), the level (one byte), the title and the text (each one
    // length byte and that many bytes); integers little-endian. False when the
    // bytes end early; the entries read before that point are kept.
    bool load(std::span<const std::uint8_t> packed);

    void add(MessageEntry entry);

    // The entry of `number` added last, or null.
    const MessageEntry* find(std::uint16_t number) const;

    // The entry of `number` added before `entry`, or null.
    const MessageEntry* previous(const MessageEntry& entry) const;

    std::size_t size() const { return entries_.size(); }

    // Packs entries in the format load() reads; titles and texts longer than
    // 255 bytes are cut.
    static std::vector<std::uint8_t> pack(std::span<const MessageEntry> entries);

private:
    std::vector<MessageEntry> entries_;
};

// The packed list of the 40 standard messages (numbers 1 to 41 but 29).
std::vector<std::uint8_t> packedStandardMessages();

// A table loaded with the standard messages.
MessageTable standardMessageTable();

} // namespace tessaly

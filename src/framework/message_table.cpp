#include "framework/message_table.h"

#include <algorithm>

namespace tessaly {

namespace {

// Reads the packed list one field at a time, refusing to pass the end.
class PackedReader {
public:
    explicit PackedReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool byte(std::uint8_t& out)
    {
        if (pos_ >= bytes_.size()) {
            return false;
        }
        out = bytes_[pos_++];
        return true;
    }

    bool word(std::uint16_t& out)
    {
        std::uint8_t low = 0;
        std::uint8_t high = 0;
        if (!byte(low) || !byte(high)) {
            return false;
        }
        out = static_cast<std::uint16_t>(low | (high << 8U));
        return true;
    }

    bool text(std::string& out)
    {
        std::uint8_t length = 0;
        if (!byte(length) || bytes_.size() - pos_ < length) {
            return false;
        }
        const auto* begin = bytes_.data() + pos_;
        out.assign(reinterpret_cast<const char*>(begin), length);
        pos_ += length;
        return true;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

void packText(std::vector<std::uint8_t>& out, std::string_view text)
{
    const std::size_t length = std::min<std::size_t>(text.size(), 255);
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
}

} // namespace

bool MessageTable::load(std::span<const std::uint8_t> packed)
{
    PackedReader reader{packed};
    std::uint16_t count = 0;
    if (!reader.word(count)) {
        return false;
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        MessageEntry entry;
        if (!reader.word(entry.number) || !reader.byte(entry.level) || !reader.text(entry.title) ||
            !reader.text(entry.text)) {
            return false;
        }
        entries_.push_back(std::move(entry));
    }
    return true;
}

void MessageTable::add(MessageEntry entry)
{
    entries_.push_back(std::move(entry));
}

const MessageEntry* MessageTable::find(std::uint16_t number) const
{
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->number == number) {
            return &*it;
        }
    }
    return nullptr;
}

const MessageEntry* MessageTable::previous(const MessageEntry& entry) const
{
    const auto* first = entries_.data();
    for (const auto* it = &entry; it != first;) {
        --it;
        if (it->number == entry.number) {
            return it;
        }
    }
    return nullptr;
}

std::vector<std::uint8_t> MessageTable::pack(std::span<const MessageEntry> entries)
{
    std::vector<std::uint8_t> out;
    const auto count = static_cast<std::uint16_t>(std::min<std::size_t>(entries.size(), 0xFFFF));
    out.push_back(static_cast<std::uint8_t>(count & 0xFFU));
    out.push_back(static_cast<std::uint8_t>(count >> 8U));
    for (std::size_t i = 0; i < count; ++i) {
        const MessageEntry& entry = entries[i];
        out.push_back(static_cast<std::uint8_t>(entry.number & 0xFFU));
        out.push_back(static_cast<std::uint8_t>(entry.number >> 8U));
        out.push_back(entry.level);
        packText(out, entry.title);
        packText(out, entry.text);
    }
    return out;
}

MessageTable standardMessageTable()
{
    MessageTable table;
    table.load(packedStandardMessages());
    return table;
}

} // namespace tessaly

#include "export/bookmark_tags.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace tessaly {

namespace {

template <typename T> T numberAt(const std::string& entries, std::size_t at)
{
    T value{};
    std::memcpy(&value, entries.data() + at, sizeof value);
    return value;
}

template <typename T> void appendNumber(std::string& entries, T value)
{
    entries.append(reinterpret_cast<const char*>(&value), sizeof value);
}

constexpr std::size_t kHeader = 2 * sizeof(std::uint32_t);

} // namespace

std::string_view BookmarkTags::address(std::size_t at) const
{
    return {entries_.data() + at + kHeader, numberAt<std::uint32_t>(entries_, at)};
}

std::vector<BookmarkTags::Word> BookmarkTags::words(std::size_t at, std::size_t& end) const
{
    const auto count = numberAt<std::uint32_t>(entries_, at + sizeof(std::uint32_t));
    std::vector<Word> out;
    out.reserve(count + 1);
    end = at + kHeader + numberAt<std::uint32_t>(entries_, at);
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto sequence = numberAt<std::int64_t>(entries_, end);
        const auto length = numberAt<std::uint32_t>(entries_, end + sizeof sequence);
        end += sizeof sequence + sizeof length;
        out.push_back({sequence, {entries_.data() + end, length}});
        end += length;
    }
    return out;
}

std::size_t BookmarkTags::slotOf(std::uint64_t hash, std::string_view wanted) const
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.at == kEmpty || (slot.hash == hash && address(slot.at) == wanted)) {
            return i;
        }
    }
}

void BookmarkTags::grow()
{
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.at == kEmpty) {
            continue;
        }
        std::size_t i = slot.hash & mask;
        while (slots_[i].at != kEmpty) {
            i = (i + 1) & mask;
        }
        slots_[i] = slot;
    }
}

void BookmarkTags::appendEntry(std::string_view wanted, const std::vector<Word>& list)
{
    appendNumber(entries_, static_cast<std::uint32_t>(wanted.size()));
    appendNumber(entries_, static_cast<std::uint32_t>(list.size()));
    entries_.append(wanted);
    for (const Word& each : list) {
        appendNumber(entries_, each.sequence);
        appendNumber(entries_, static_cast<std::uint32_t>(each.text.size()));
        entries_.append(each.text);
    }
}

void BookmarkTags::add(std::string_view wanted, std::int64_t sequence, std::string_view word)
{
    // Half full at most, so that a search ends soon at an empty slot.
    if ((count_ + 1) * 2 > slots_.size()) {
        grow();
    }
    const std::uint64_t hash = std::hash<std::string_view>{}(wanted);
    Slot& slot = slots_[slotOf(hash, wanted)];
    if (slot.at == kEmpty) {
        slot.hash = hash;
        slot.at = entries_.size();
        ++count_;
        appendEntry(wanted, {Word{sequence, word}});
        return;
    }
    std::size_t end = 0;
    const std::size_t wordsAt = slot.at + kHeader + wanted.size();
    std::vector<Word> list = words(slot.at, end);
    // The entry's words, rewritten below with the new one in its place.
    const std::string kept = entries_.substr(wordsAt, end - wordsAt);
    for (Word& each : list) {
        each.text = {kept.data() + (each.text.data() - (entries_.data() + wordsAt)),
                     each.text.size()};
    }
    if (end == entries_.size()) {
        // The last entry, as for an address's rows read one after the
        // other: it is rewritten where it stands.
        entries_.resize(slot.at);
    }
    const auto after = std::upper_bound(
        list.begin(), list.end(), sequence,
        [](std::int64_t value, const Word& each) { return value < each.sequence; });
    list.insert(after, Word{sequence, word});
    slot.at = entries_.size();
    appendEntry(wanted, list);
}

std::string_view BookmarkTags::find(std::string_view wanted)
{
    if (slots_.empty()) {
        return {};
    }
    const Slot& slot = slots_[slotOf(std::hash<std::string_view>{}(wanted), wanted)];
    if (slot.at == kEmpty) {
        return {};
    }
    const auto count = numberAt<std::uint32_t>(entries_, slot.at + sizeof(std::uint32_t));
    std::size_t at = slot.at + kHeader + wanted.size();
    found_.clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto length = numberAt<std::uint32_t>(entries_, at + sizeof(std::int64_t));
        at += sizeof(std::int64_t) + sizeof length;
        found_ += found_.empty() ? "" : ",";
        found_.append(entries_, at, length);
        at += length;
    }
    return found_;
}

} // namespace tessaly

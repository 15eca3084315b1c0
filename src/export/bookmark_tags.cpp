#include "export/bookmark_tags.h"

#include <algorithm>
#include <bit>
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

std::uint64_t hashOf(std::string_view address)
{
    return std::hash<std::string_view>{}(address);
}

} // namespace

std::string_view BookmarkTags::address(std::size_t at) const
{
    return {entries_.data() + at + kHeader, numberAt<std::uint32_t>(entries_, at)};
}

bool BookmarkTags::moved(std::size_t at) const
{
    return (numberAt<std::uint32_t>(entries_, at + sizeof(std::uint32_t)) & kMoved) != 0;
}

std::size_t BookmarkTags::endOf(std::size_t at) const
{
    const std::uint32_t count =
        numberAt<std::uint32_t>(entries_, at + sizeof(std::uint32_t)) & ~kMoved;
    std::size_t end = at + kHeader + numberAt<std::uint32_t>(entries_, at);
    for (std::uint32_t i = 0; i < count; ++i) {
        end += sizeof(std::int64_t) + sizeof(std::uint32_t) +
               numberAt<std::uint32_t>(entries_, end + sizeof(std::int64_t));
    }
    return end;
}

void BookmarkTags::copyWords(std::size_t at, std::vector<Word>& list, std::string& kept) const
{
    const std::size_t from = at + kHeader + numberAt<std::uint32_t>(entries_, at);
    const std::size_t end = endOf(at);
    const std::size_t base = kept.size();
    kept.append(entries_, from, end - from);
    std::size_t pos = from;
    while (pos < end) {
        const auto sequence = numberAt<std::int64_t>(entries_, pos);
        const auto length = numberAt<std::uint32_t>(entries_, pos + sizeof sequence);
        pos += sizeof sequence + sizeof length;
        list.push_back({sequence, base + (pos - from), length});
        pos += length;
    }
}

void BookmarkTags::insert(std::vector<Word>& list, Word word)
{
    const auto after = std::upper_bound(
        list.begin(), list.end(), word.sequence,
        [](std::int64_t value, const Word& each) { return value < each.sequence; });
    list.insert(after, word);
}

void BookmarkTags::appendEntry(std::string_view wanted, const std::vector<Word>& list,
                               const std::string& kept)
{
    appendNumber(entries_, static_cast<std::uint32_t>(wanted.size()));
    appendNumber(entries_, static_cast<std::uint32_t>(list.size()));
    entries_.append(wanted);
    for (const Word& each : list) {
        appendNumber(entries_, each.sequence);
        appendNumber(entries_, static_cast<std::uint32_t>(each.length));
        entries_.append(kept, each.at, each.length);
    }
}

void BookmarkTags::add(std::string_view wanted, std::int64_t sequence, std::string_view word)
{
    indexed_ = false;
    next_ = kEmpty; // the entries may move
    if (last_ == kEmpty || address(last_) != wanted) {
        // A new entry; one for an address met before is merged by index().
        // Written in place: most addresses have one tag, and this runs for
        // every keyword row.
        last_ = entries_.size();
        appendNumber(entries_, static_cast<std::uint32_t>(wanted.size()));
        appendNumber(entries_, std::uint32_t{1});
        entries_.append(wanted);
        appendNumber(entries_, sequence);
        appendNumber(entries_, static_cast<std::uint32_t>(word.size()));
        entries_.append(word);
        return;
    }
    // The address's rows one after the other: its entry, the last, is
    // rewritten where it stands.
    std::vector<Word> list;
    std::string kept;
    copyWords(last_, list, kept);
    insert(list, Word{sequence, kept.size(), word.size()});
    kept += word;
    entries_.resize(last_);
    appendEntry(wanted, list, kept);
}

std::size_t BookmarkTags::merge(std::size_t first, std::size_t second)
{
    std::vector<Word> list;
    std::string kept;
    copyWords(first, list, kept);
    const std::size_t firstCount = list.size();
    copyWords(second, list, kept);
    // The second entry's rows came later: after the first's of the same number.
    std::vector<Word> merged(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(firstCount));
    for (std::size_t i = firstCount; i < list.size(); ++i) {
        insert(merged, list[i]);
    }
    const std::string name{address(first)};
    for (const std::size_t at : {first, second}) {
        const std::uint32_t marked =
            numberAt<std::uint32_t>(entries_, at + sizeof(std::uint32_t)) | kMoved;
        std::memcpy(entries_.data() + at + sizeof(std::uint32_t), &marked, sizeof marked);
    }
    const std::size_t at = entries_.size();
    appendEntry(name, merged, kept);
    return at;
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

// The table is made once all the rows are in, in one pass over the entries
// with nothing else between its lookups, so the processor waits for several
// of them at once; and its size is known, so it never grows.
void BookmarkTags::index()
{
    if (indexed_) {
        return;
    }
    std::size_t entries = 0;
    for (std::size_t at = 0; at < entries_.size(); at = endOf(at)) {
        entries += moved(at) ? 0 : 1;
    }
    // Half full at most, so that a search ends soon at an empty slot.
    slots_.assign(std::bit_ceil(std::max<std::size_t>(entries * 2, 16)), Slot{});
    count_ = 0;
    const std::size_t end = entries_.size();
    for (std::size_t at = 0; at < end; at = endOf(at)) {
        if (moved(at)) {
            continue;
        }
        const std::uint64_t hash = hashOf(address(at));
        Slot& slot = slots_[slotOf(hash, address(at))];
        if (slot.at == kEmpty) {
            slot = {hash, at};
            ++count_;
        } else {
            // The address's rows were not all together.
            slot.at = merge(slot.at, at);
        }
    }
    last_ = kEmpty;
    indexed_ = true;
}

std::size_t BookmarkTags::size()
{
    index();
    return count_;
}

std::string_view BookmarkTags::find(std::string_view wanted)
{
    index();
    // Bookmarks and their keyword rows are mostly stored in the same order
    // (an import adds both), so the entry after the one found last is tried
    // first: a run of such bookmarks reads the entries one after another
    // instead of a slot of the table, far off in memory, for each.
    std::size_t at = kEmpty;
    if (next_ < entries_.size() && !moved(next_) && address(next_) == wanted) {
        at = next_;
    } else if (!slots_.empty()) {
        at = slots_[slotOf(hashOf(wanted), wanted)].at;
    }
    if (at == kEmpty) {
        return {};
    }
    const auto count = numberAt<std::uint32_t>(entries_, at + sizeof(std::uint32_t));
    at += kHeader + wanted.size();
    found_.clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto length = numberAt<std::uint32_t>(entries_, at + sizeof(std::int64_t));
        at += sizeof(std::int64_t) + sizeof length;
        found_ += found_.empty() ? "" : ",";
        found_.append(entries_, at, length);
        at += length;
    }
    next_ = at;
    return found_;
}

} // namespace tessaly

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// The tags of every bookmark, as the browsers' file writes them ("news,daily":
// its keyword rows in sequence order), by the bookmark's folded address
// (text::foldKey). Built once from the keyword rows, in any order, and asked
// once for each bookmark of an export, so it is kept in two flat blocks rather
// than a node for each address: a hundred thousand addresses asked in category
// order would otherwise cost a cache miss at every step of every lookup. Not
// thread-safe; no limit but memory.
class BookmarkTags final {
public:
    // Adds `word`, the keyword row numbered `sequence`, to the tags of
    // `address`: after the rows of lower numbers and of the same number.
    void add(std::string_view address, std::int64_t sequence, std::string_view word);
    // The tags of `address` joined by commas, or an empty text; valid until
    // the next call.
    std::string_view find(std::string_view address);
    std::size_t size() const { return count_; }

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::size_t at = kEmpty; // the entry's offset in entries_
    };
    struct Word {
        std::int64_t sequence;
        std::string_view text;
    };
    static constexpr std::size_t kEmpty = static_cast<std::size_t>(-1);

    // An entry in entries_: the address's length and the number of words
    // (32 bits each), the address, then each word as its sequence (64 bits),
    // its length (32 bits) and its bytes.
    std::string_view address(std::size_t at) const;
    std::vector<Word> words(std::size_t at, std::size_t& end) const;
    void appendEntry(std::string_view address, const std::vector<Word>& list);
    std::size_t slotOf(std::uint64_t hash, std::string_view address) const;
    void grow();

    std::vector<Slot> slots_; // open addressing; a power of two in size
    std::string entries_;
    std::size_t count_ = 0;
    std::string found_; // what find() gave last
};

} // namespace tessaly

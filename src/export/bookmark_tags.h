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
    // The number of addresses with tags.
    std::size_t size();

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::size_t at = kEmpty; // the entry's offset in entries_
    };
    // A word of an entry being rewritten: its text is in a string beside.
    struct Word {
        std::int64_t sequence;
        std::size_t at;
        std::size_t length;
    };
    static constexpr std::size_t kEmpty = static_cast<std::size_t>(-1);
    // In an entry's number of words: the entry was moved to the end.
    static constexpr std::uint32_t kMoved = std::uint32_t{1} << 31U;

    // An entry in entries_: the address's length and the number of words
    // (32 bits each), the address, then each word as its sequence (64 bits),
    // its length (32 bits) and its bytes.
    std::string_view address(std::size_t at) const;
    bool moved(std::size_t at) const;
    std::size_t endOf(std::size_t at) const;
    // The words of the entry at `at`, their texts copied to the end of `kept`.
    void copyWords(std::size_t at, std::vector<Word>& list, std::string& kept) const;
    static void insert(std::vector<Word>& list, Word word);
    void appendEntry(std::string_view address, const std::vector<Word>& list,
                     const std::string& kept);
    std::size_t merge(std::size_t first, std::size_t second);
    std::size_t slotOf(std::uint64_t hash, std::string_view address) const;
    void index();

    std::vector<Slot> slots_; // open addressing; a power of two in size
    bool indexed_ = true;     // slots_ holds every entry
    std::string entries_;
    std::size_t last_ = kEmpty; // the entry add() made last
    std::size_t count_ = 0;
    std::string found_;         // what find() gave last
    std::size_t next_ = kEmpty; // the entry after the one find() found last
};

} // namespace tessaly

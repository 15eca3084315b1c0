#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// An XBEL bookmark file held as the bytes it was read from plus the few
// things the program changes in it. Serialising copies every part that was
// not changed byte for byte: the XML declaration, the DOCTYPE, comments
// (the sync extension's "highestId" line), elements and attributes the
// program does not know, positions, ids and whitespace. Reading uses expat
// with entity declarations refused (no entity expansion, no external
// entities) and a bound on the size. Not thread-safe; a value type.
class XbelDocument final {
public:
    // The largest file read: a bookmark file of a million bookmarks stays
    // well under it.
    static constexpr std::size_t kLargestFile = std::size_t{512} << 20U;
    // The first line the browsers' sync extension demands of the file.
    static constexpr std::string_view kDeclaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";

    // Text as it stands in an XBEL file (in an attribute when `attribute`):
    // markup characters as references, characters XML cannot hold dropped.
    static std::string escape(std::string_view text, bool attribute);
    // `text` as a file holds it once written and read back: the characters
    // XML cannot hold dropped. Items added or edited hold their text so, so
    // what a sync records of them is what the next read finds.
    static std::string holdable(std::string_view text);
    // The line the browsers' sync extension takes its next id from, for a
    // file whose highest id is `highest`.
    static std::string highestIdLine(std::uint64_t highest);
    // The DOCTYPE of XBEL 1.0.
    static std::string_view doctype();

    // A folder or a bookmark of the file, in tree order. `parent` indexes
    // the folder it stands in (-1: the top of the file).
    struct Item {
        bool folder = false;
        std::string id;    // as the file gives it; may be blank
        std::string title; // decoded text of <title>
        std::string href;  // bookmarks only, decoded
        std::string desc;  // bookmarks only: decoded text of their first <desc>
        int parent = -1;
        bool removed = false;
    };

    // Reads `bytes`; nothing, with `error` saying why in words for the user,
    // when they are not an XBEL document, are damaged (not well-formed,
    // declare entities) or are longer than `largest`.
    static std::optional<XbelDocument> parse(std::string_view bytes, std::string& error,
                                             std::size_t largest = kLargestFile);
    // A file with no bookmarks, written as the browsers' sync extension
    // writes one (declaration, DOCTYPE, <xbel>, the highestId line).
    static XbelDocument empty();

    // Every folder and bookmark ever read or added, by index (removed ones
    // stay, marked).
    const std::vector<Item>& items() const { return items_; }
    // The folders from the top down to `index`'s folder, by title.
    std::vector<std::string> folderPath(int index) const;
    // The first folder in tree order titled `title` (exact text), or -1.
    int findFolder(std::string_view title) const;

    // Changes (titles and addresses kept as holdable() gives them). Each
    // marks the document changed; ids of added items are
    // numbers above every id in the file and the highestId line, which is
    // raised (and added when the file had none).
    int addFolder(std::string_view title); // at the top of the tree
    int addBookmark(int folder, std::string_view href, std::string_view title); // at its end
    void setTitle(int index, std::string_view title);
    void setHref(int index, std::string_view href);
    void move(int index, int folder); // to the end of `folder` (-1: the top)
    void remove(int index);

    bool changed() const { return changed_; }
    // The document's bytes: the bytes read when nothing changed.
    std::string serialize() const;

private:
    // A stretch of the bytes read, [begin, end).
    struct Span {
        std::size_t begin = 0;
        std::size_t end = 0;
    };
    // Where an item read from the file stands in those bytes.
    struct Place {
        Span element;          // the whole element
        std::size_t open = 0;  // just after its start tag
        bool empty = false;    // written as one empty-element tag
        Span title;            // inside <title>; title.end == 0: none
        Span href;             // inside the quotes of href; href.end == 0: none
        std::size_t close = 0; // where its end tag begins
        int parent = -1;       // the folder it was read in
        std::vector<int> read; // the folders and bookmarks it held as read
    };
    struct Patch {
        Span span;
        std::string text;
    };
    class Reader;
    class Writer;

    int newItem(bool folder, int parent);
    void touch(int folder);
    void detach(int index);

    std::string source_;
    bool utf8_ = true;
    std::vector<Item> items_;
    std::vector<Place> places_; // per item read; added items have none
    // Items moved or added into a folder, by folder + 1 (0: the top), in
    // the order they came: written after what the folder held as read.
    std::vector<std::vector<int>> appended_;
    std::vector<char> dirty_;       // by folder + 1: a change at or below it
    std::vector<char> titleEdited_; // by item
    std::vector<char> hrefEdited_;  // by item
    Place top_;                     // the <xbel> element
    Span highestId_;                // the number of the highestId line; end 0: none
    std::uint64_t nextId_ = 1;
    bool changed_ = false;
};

} // namespace tessaly

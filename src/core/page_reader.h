#pragma once

// Reading a database file page by page, without the database library: the
// header, the table b-tree pages, their cells, overflow chains and records.
// Repair uses it to reach every row still on disk when the file's own
// structure (its first page, a root or an interior page, its tail) is gone.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::pages {

// Where the bytes come from: a file or, for tests, memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Copies up to `length` bytes at `offset` into `out`; how many there were.
    virtual std::size_t read(std::uint64_t offset, std::size_t length, unsigned char* out) = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::size_t read(std::uint64_t offset, std::size_t length, unsigned char* out) override;

private:
    std::string_view bytes_;
};

// A file read with pread. The descriptor stays open until the object goes:
// closing any descriptor of a file drops the locks the process holds on it,
// so keep this object alive as long as a connection keeps the file locked.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // Why the file could not be opened, or why a read of it failed.
    int error() const { return error_; }
    std::uint64_t size() const override { return size_; }
    std::size_t read(std::uint64_t offset, std::size_t length, unsigned char* out) override;

private:
    int fd_ = -1;
    int error_ = 0;
    std::uint64_t size_ = 0;
};

// One value of a stored record.
struct Value {
    enum class Kind { Null, Integer, Real, Text, Blob } kind = Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes; // text (as stored) or blob
};

// A row found in a table leaf cell.
struct Row {
    std::int64_t rowid = 0;
    std::vector<Value> values;
    // False when part of the payload was beyond reach (a broken overflow
    // chain, a cut file): `values` then holds only the columns read whole.
    bool complete = true;
};

// Where a cell is: its page and its place in the page's cell list.
struct CellPlace {
    std::uint32_t page = 0;
    std::uint32_t cell = 0;
};

// Reads the pages of one file. Every bound is checked against the page and
// the file, so any bytes give a bounded run: a chain or tree never visits
// more pages than the file has. Not thread-safe.
class PageReader final {
public:
    explicit PageReader(ByteSource& source);

    // True when the file begins with a readable header; the page size then
    // comes from it, else from the layout of the pages themselves.
    bool headerRead() const { return headerRead_; }
    std::uint32_t pageSize() const { return pageSize_; }
    std::uint32_t pageCount() const { return pageCount_; }
    // False for text stored in UTF-16: its rows cannot be given as UTF-8.
    bool utf8() const { return utf8_; }

    // True for a table b-tree leaf page whose header and cell list are sound.
    bool isTableLeaf(std::uint32_t page);
    // The number of cells of a table leaf page (0 for any other page).
    std::uint32_t cellCount(std::uint32_t page);
    // The row of a cell, or nothing when the cell itself cannot be read.
    std::optional<Row> row(CellPlace place);

    // The table leaf pages a b-tree reaches from `root`, in key order.
    // `complete` is cleared when some page on the way was not a sound
    // b-tree page.
    std::vector<std::uint32_t> leavesOf(std::uint32_t root, bool& complete);
    // The child pages an interior table b-tree page points to, in key
    // order; none for any other page. `sound` is cleared when part of its
    // cell list is out of bounds.
    std::vector<std::uint32_t> children(std::uint32_t page, bool& sound);
    // The pages on the free list named by the header (none without one).
    std::set<std::uint32_t> freePages();

private:
    struct Page {
        std::uint32_t number = 0;
        std::vector<unsigned char> bytes;
        std::size_t available = 0; // bytes present (a cut file ends early)
    };
    const Page* load(std::uint32_t page);
    void choosePageSize();
    bool payload(const Page& page, std::size_t at, std::uint64_t size, std::string& out,
                 bool& complete);

    ByteSource& source_;
    bool headerRead_ = false;
    bool utf8_ = true;
    std::uint32_t pageSize_ = 4096;
    std::uint32_t usable_ = 4096;
    std::uint32_t pageCount_ = 0;
    std::uint32_t firstFreeTrunk_ = 0;
    Page page_; // the page last loaded
};

// Decodes a record: the values of a payload. A payload cut short gives the
// columns it holds whole with `complete` false; nothing when even the record
// header is not sound.
std::optional<Row> decodeRecord(std::string_view payload, bool payloadComplete);

} // namespace tessaly::pages

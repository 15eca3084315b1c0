#include "core/page_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly::pages {

namespace {

constexpr std::string_view kMagic{"SQLite format 3\0", 16};
constexpr unsigned char kTableInterior = 0x05;
constexpr unsigned char kTableLeaf = 0x0D;
constexpr unsigned char kIndexInterior = 0x02;
constexpr unsigned char kIndexLeaf = 0x0A;
constexpr std::size_t kFileHeader = 100;
// How much of the file is looked at, under each candidate page size, when
// the header is gone: the same bytes for every size, so that counts compare.
constexpr std::uint64_t kSizeProbeBytes = 8 << 20;

std::uint32_t read16(const unsigned char* at)
{
    return static_cast<std::uint32_t>(at[0]) << 8 | at[1];
}

std::uint32_t read32(const unsigned char* at)
{
    return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
           static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}

// A variable-length integer of one to nine bytes within [at, end); how
// many bytes it took, or 0 when it runs past the end.
std::size_t readVarint(const unsigned char* at, const unsigned char* end, std::uint64_t& value)
{
    value = 0;
    for (std::size_t i = 0; i < 9; ++i) {
        if (at + i >= end) {
            return 0;
        }
        if (i == 8) {
            value = value << 8 | at[i];
            return 9;
        }
        value = value << 7 | (at[i] & 0x7F);
        if ((at[i] & 0x80) == 0) {
            return i + 1;
        }
    }
    return 0;
}

// The size of a value of a serial type; false for the reserved types.
bool contentSize(std::uint64_t type, std::uint64_t& size)
{
    static constexpr std::array<std::uint64_t, 10> kSizes = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0};
    if (type < kSizes.size()) {
        size = kSizes[type];
        return true;
    }
    if (type < 12) {
        return false;
    }
    size = (type - 12) / 2;
    return true;
}

Value decodeValue(std::uint64_t type, const unsigned char* at, std::uint64_t size)
{
    Value value;
    if (type == 0) {
        return value;
    }
    if (type == 8 || type == 9) {
        value.kind = Value::Kind::Integer;
        value.integer = type == 9 ? 1 : 0;
        return value;
    }
    if (type <= 7) {
        std::uint64_t bits = (at[0] & 0x80) != 0 && type != 7 ? ~std::uint64_t{0} : 0;
        for (std::uint64_t i = 0; i < size; ++i) {
            bits = bits << 8 | at[i];
        }
        if (type == 7) {
            value.kind = Value::Kind::Real;
            value.real = std::bit_cast<double>(bits);
        } else {
            value.kind = Value::Kind::Integer;
            value.integer = static_cast<std::int64_t>(bits);
        }
        return value;
    }
    value.kind = type % 2 == 1 ? Value::Kind::Text : Value::Kind::Blob;
    value.bytes.assign(reinterpret_cast<const char*>(at), static_cast<std::size_t>(size));
    return value;
}

// True when the bytes look like a b-tree page of `size` bytes: a known
// kind, a cell list that fits, cells inside the page. Used to find the page
// size of a file whose header is lost.
bool looksLikeBtreePage(const unsigned char* bytes, std::size_t size, std::size_t header)
{
    const unsigned char kind = bytes[header];
    if (kind != kTableInterior && kind != kTableLeaf && kind != kIndexInterior &&
        kind != kIndexLeaf) {
        return false;
    }
    const std::size_t headerSize = (kind == kTableLeaf || kind == kIndexLeaf) ? 8 : 12;
    const std::size_t cells = read16(bytes + header + 3);
    const std::size_t listEnd = header + headerSize + 2 * cells;
    std::size_t content = read16(bytes + header + 5);
    content = content == 0 ? 65536 : content;
    if (cells == 0 || listEnd > size || content < listEnd || content >= size) {
        return false;
    }
    for (std::size_t i = 0; i < std::min<std::size_t>(cells, 8); ++i) {
        const std::size_t at = read16(bytes + header + headerSize + 2 * i);
        if (at < content || at >= size) {
            return false;
        }
    }
    return true;
}

} // namespace

std::size_t MemorySource::read(std::uint64_t offset, std::size_t length, unsigned char* out)
{
    if (offset >= bytes_.size()) {
        return 0;
    }
    const std::size_t count =
        std::min<std::size_t>(length, bytes_.size() - static_cast<std::size_t>(offset));
    std::memcpy(out, bytes_.data() + offset, count);
    return count;
}

FileSource::FileSource(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
{
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) {
        error_ = errno;
        return;
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
}

FileSource::~FileSource()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::size_t FileSource::read(std::uint64_t offset, std::size_t length, unsigned char* out)
{
    std::size_t done = 0;
    while (fd_ >= 0 && done < length) {
        const ssize_t got =
            ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            // A failing disk is not a short file: pages it would not give
            // must not pass for pages that were never there.
            error_ = errno;
            break;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

PageReader::PageReader(ByteSource& source) : source_(source)
{
    std::array<unsigned char, kFileHeader> header{};
    const bool whole = source_.read(0, header.size(), header.data()) == header.size();
    if (whole && std::memcmp(header.data(), kMagic.data(), kMagic.size()) == 0) {
        const std::uint32_t stored = read16(header.data() + 16);
        const std::uint32_t size = stored == 1 ? 65536 : stored;
        const std::uint32_t reserved = header[20];
        if (size >= 512 && std::has_single_bit(size) && size - reserved >= 480) {
            headerRead_ = true;
            pageSize_ = size;
            usable_ = size - reserved;
            firstFreeTrunk_ = read32(header.data() + 32);
            const std::uint32_t encoding = read32(header.data() + 56);
            utf8_ = encoding <= 1;
        }
    }
    if (!headerRead_) {
        choosePageSize();
    }
    const std::uint64_t pages = (source_.size() + pageSize_ - 1) / pageSize_;
    pageCount_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(pages, 0xFFFFFFFEU));
}

void PageReader::choosePageSize()
{
    // The size under which most pages look like b-tree pages: with a smaller
    // size the cells of real pages fall outside, with a larger one only
    // every second page (or fewer) starts where a page starts.
    std::uint32_t best = 4096;
    std::uint32_t bestCount = 0;
    std::vector<unsigned char> bytes;
    for (const std::uint32_t size : {4096U, 1024U, 2048U, 8192U, 512U, 16384U, 32768U, 65536U}) {
        bytes.resize(size);
        std::uint32_t count = 0;
        for (std::uint32_t page = 1;; ++page) {
            const std::uint64_t offset = std::uint64_t{page - 1} * size;
            if (offset + size > std::min(source_.size(), kSizeProbeBytes)) {
                break;
            }
            if (source_.read(offset, size, bytes.data()) != size) {
                break;
            }
            count += looksLikeBtreePage(bytes.data(), size, page == 1 ? kFileHeader : 0) ? 1 : 0;
        }
        if (count > bestCount) {
            best = size;
            bestCount = count;
        }
    }
    pageSize_ = best;
    usable_ = best;
}

const PageReader::Page* PageReader::load(std::uint32_t page)
{
    if (page == 0 || page > pageCount_) {
        return nullptr;
    }
    if (page_.number != page) {
        page_.bytes.assign(pageSize_, 0);
        page_.available =
            source_.read(std::uint64_t{page - 1} * pageSize_, pageSize_, page_.bytes.data());
        page_.number = page;
    }
    return &page_;
}

bool PageReader::isTableLeaf(std::uint32_t page)
{
    const Page* loaded = load(page);
    const std::size_t header = page == 1 ? kFileHeader : 0;
    if (loaded == nullptr || loaded->available < header + 8 ||
        loaded->bytes[header] != kTableLeaf) {
        return false;
    }
    const std::size_t listEnd = header + 8 + 2 * std::size_t{read16(&loaded->bytes[header + 3])};
    return listEnd <= std::min<std::size_t>(usable_, loaded->available);
}

std::uint32_t PageReader::cellCount(std::uint32_t page)
{
    return isTableLeaf(page) ? read16(&page_.bytes[page == 1 ? kFileHeader + 3 : 3]) : 0;
}

std::optional<Row> PageReader::row(CellPlace place)
{
    if (place.cell >= cellCount(place.page)) {
        return std::nullopt;
    }
    const Page& page = page_;
    const std::size_t header = place.page == 1 ? kFileHeader : 0;
    const std::size_t cells = read16(&page.bytes[header + 3]);
    const std::size_t at = read16(&page.bytes[header + 8 + 2 * std::size_t{place.cell}]);
    const std::size_t end = std::min<std::size_t>(usable_, page.available);
    if (at < header + 8 + 2 * cells || at >= end) {
        return std::nullopt;
    }
    const unsigned char* cell = &page.bytes[at];
    const unsigned char* limit = page.bytes.data() + end;
    std::uint64_t size = 0;
    std::uint64_t rowid = 0;
    const std::size_t sizeBytes = readVarint(cell, limit, size);
    const std::size_t rowidBytes = sizeBytes == 0 ? 0 : readVarint(cell + sizeBytes, limit, rowid);
    if (rowidBytes == 0) {
        return std::nullopt;
    }
    std::string bytes;
    bool complete = true;
    if (!payload(page, at + sizeBytes + rowidBytes, size, bytes, complete)) {
        return std::nullopt;
    }
    std::optional<Row> found = decodeRecord(bytes, complete);
    if (found) {
        found->rowid = static_cast<std::int64_t>(rowid);
    }
    return found;
}

bool PageReader::payload(const Page& page, std::size_t at, std::uint64_t size, std::string& out,
                         bool& complete)
{
    // How much of the payload stays in the cell; the rest is on a chain of
    // overflow pages, each giving all but its first four bytes.
    const std::uint64_t usable = usable_;
    if (size > std::uint64_t{pageCount_} * usable) {
        return false; // more than the whole file holds: the size is damaged
    }
    const std::uint64_t most = usable - 35;
    const std::uint64_t least = (usable - 12) * 32 / 255 - 23;
    std::uint64_t local = size;
    if (size > most) {
        const std::uint64_t spilled = least + (size - least) % (usable - 4);
        local = spilled <= most ? spilled : least;
    }
    const std::uint64_t chained = size - local;
    const std::uint64_t chainPages = (chained + usable - 5) / (usable - 4);
    if (at + local + (chained > 0 ? 4 : 0) > usable || chainPages > pageCount_) {
        return false; // a cell that cannot be: its size is damaged
    }
    const std::size_t present = std::min<std::size_t>(page.available, usable);
    if (at + local > present) {
        out.assign(reinterpret_cast<const char*>(&page.bytes[at]), at < present ? present - at : 0);
        complete = false;
        return true;
    }
    out.reserve(static_cast<std::size_t>(size));
    out.assign(reinterpret_cast<const char*>(&page.bytes[at]), static_cast<std::size_t>(local));
    if (chained == 0) {
        return true;
    }
    if (at + local + 4 > present) {
        complete = false;
        return true;
    }
    std::uint32_t next = read32(&page.bytes[at + local]);
    std::vector<unsigned char> bytes(pageSize_);
    for (std::uint64_t taken = 0; taken < chainPages; ++taken) {
        if (next < 2 || next > pageCount_) {
            complete = false;
            return true;
        }
        const std::size_t got =
            source_.read(std::uint64_t{next - 1} * pageSize_, pageSize_, bytes.data());
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - out.size(), usable - 4));
        if (got < 4 + want) {
            complete = false;
            return true;
        }
        out.append(reinterpret_cast<const char*>(bytes.data() + 4), want);
        next = read32(bytes.data());
    }
    return true;
}

std::vector<std::uint32_t> PageReader::children(std::uint32_t number, bool& sound)
{
    std::vector<std::uint32_t> found;
    const Page* page = load(number);
    const std::size_t header = number == 1 ? kFileHeader : 0;
    sound = page != nullptr && std::min<std::size_t>(usable_, page->available) >= header + 12 &&
            page->bytes[header] == kTableInterior;
    if (!sound) {
        return found;
    }
    const std::size_t end = std::min<std::size_t>(usable_, page->available);
    const std::size_t cells = read16(&page->bytes[header + 3]);
    if (header + 12 + 2 * cells > end) {
        sound = false;
        return found;
    }
    for (std::size_t i = 0; i < cells; ++i) {
        const std::size_t at = read16(&page->bytes[header + 12 + 2 * i]);
        if (at < header + 12 + 2 * cells || at + 4 > end) {
            sound = false;
            continue;
        }
        found.push_back(read32(&page->bytes[at]));
    }
    found.push_back(read32(&page->bytes[header + 8]));
    return found;
}

std::vector<std::uint32_t> PageReader::leavesOf(std::uint32_t root, bool& complete)
{
    complete = true;
    std::vector<std::uint32_t> leaves;
    std::vector<std::uint32_t> pending{root};
    std::set<std::uint32_t> seen;
    while (!pending.empty()) {
        const std::uint32_t number = pending.back();
        pending.pop_back();
        if (number == 0 || number > pageCount_ || !seen.insert(number).second) {
            complete = false; // beyond the file, or a page met twice: a loop
            continue;
        }
        if (isTableLeaf(number)) {
            leaves.push_back(number);
            continue;
        }
        bool sound = true;
        const std::vector<std::uint32_t> below = children(number, sound);
        complete = complete && sound;
        // Last first on the stack, so that they come off in key order.
        pending.insert(pending.end(), below.rbegin(), below.rend());
    }
    return leaves;
}

std::set<std::uint32_t> PageReader::freePages()
{
    std::set<std::uint32_t> free;
    std::uint32_t trunk = headerRead_ ? firstFreeTrunk_ : 0;
    while (trunk >= 2 && trunk <= pageCount_ && free.insert(trunk).second) {
        const Page* page = load(trunk);
        if (page == nullptr || page->available < 8) {
            break;
        }
        const std::uint32_t next = read32(page->bytes.data());
        const std::size_t listed =
            std::min<std::size_t>(read32(page->bytes.data() + 4), (page->available - 8) / 4);
        for (std::size_t i = 0; i < listed; ++i) {
            const std::uint32_t leaf = read32(page->bytes.data() + 8 + 4 * i);
            if (leaf >= 2 && leaf <= pageCount_) {
                free.insert(leaf);
            }
        }
        trunk = next;
    }
    return free;
}

std::optional<Row> decodeRecord(std::string_view payload, bool payloadComplete)
{
    const auto* start = reinterpret_cast<const unsigned char*>(payload.data());
    const unsigned char* end = start + payload.size();
    std::uint64_t headerSize = 0;
    std::size_t at = readVarint(start, end, headerSize);
    if (at == 0 || headerSize < at || headerSize > payload.size()) {
        return std::nullopt;
    }
    std::vector<std::uint64_t> types;
    std::uint64_t total = headerSize;
    while (at < headerSize) {
        std::uint64_t type = 0;
        std::uint64_t size = 0;
        const std::size_t used = readVarint(start + at, start + headerSize, type);
        if (used == 0 || !contentSize(type, size)) {
            return std::nullopt;
        }
        at += used;
        types.push_back(type);
        total += size;
        if (total > (std::uint64_t{1} << 40)) {
            return std::nullopt;
        }
    }
    // A whole payload is exactly the header and the values it announces;
    // anything else is not a record.
    if (payloadComplete ? total != payload.size() : total < payload.size()) {
        return std::nullopt;
    }
    Row row;
    row.complete = payloadComplete;
    std::uint64_t offset = headerSize;
    for (const std::uint64_t type : types) {
        std::uint64_t size = 0;
        contentSize(type, size);
        if (offset + size > payload.size()) {
            row.complete = false;
            break;
        }
        row.values.push_back(decodeValue(type, start + offset, size));
        offset += size;
    }
    return row;
}

} // namespace tessaly::pages

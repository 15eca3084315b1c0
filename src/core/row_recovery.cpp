#include "core/row_recovery.h"

#include "core/record.h"
#include "core/record_file.h"
#include "core/record_file_sql.h"
#include "framework/text.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>

namespace tessaly {

namespace {

using detail::kLayoutTable;
using pages::CellPlace;
using pages::Row;
using StoredValue = pages::Value;

// How sure we are that a page belongs where its rows are given.
enum class Standing {
    Unknown, // no b-tree page of the file was seen to point to it
    Reached, // an interior page points to it, but no table's root reaches it
    Live,    // a table's b-tree reaches it from its root
};

// The tables of the file that are not ours to recover but whose rows must
// not be taken for lost ones: the list of tables and our layout records.
constexpr std::string_view kBookkeeping = "";

struct Candidate {
    std::int64_t rowid = 0;
    CellPlace place;
    std::size_t digest = 0;
    Standing standing = Standing::Unknown;
};

std::size_t digestOf(const Row& row)
{
    std::string flat;
    for (const StoredValue& value : row.values) {
        flat += static_cast<char>(value.kind);
        flat += value.kind == StoredValue::Kind::Integer ? std::to_string(value.integer)
                : value.kind == StoredValue::Kind::Real  ? std::to_string(value.real)
                                                         : value.bytes;
        flat += '\x1F';
    }
    return std::hash<std::string>{}(flat);
}

bool isText(const StoredValue& value)
{
    return value.kind == StoredValue::Kind::Text;
}

// True when a whole row has the stored layout of `table`: its declared
// fields in order (text or whole number), then the folded copies of the
// fields its case-insensitive keys hold. Text widths are not looked at: a
// field may hold more than its display width.
bool fits(const Row& row, const TableDef& table, std::size_t columns)
{
    if (!row.complete || row.values.size() != columns) {
        return false;
    }
    std::size_t at = 0;
    for (int field = 0; field < table.fieldCount(); ++field, ++at) {
        const StoredValue& value = row.values[at];
        const bool wanted =
            table.isText(field) ? isText(value) : value.kind == StoredValue::Kind::Integer;
        if (!wanted && value.kind != StoredValue::Kind::Null) {
            return false;
        }
    }
    for (; at < columns; ++at) {
        if (!isText(row.values[at]) && row.values[at].kind != StoredValue::Kind::Null) {
            return false;
        }
    }
    return true;
}

// A row of the file's list of tables, or of our record of each table's
// layout: the file's own bookkeeping, made anew in the fresh file.
bool isBookkeeping(const Row& row)
{
    const auto& v = row.values;
    if (v.size() == 5 && isText(v[0]) && isText(v[1]) && isText(v[2]) &&
        v[3].kind == StoredValue::Kind::Integer &&
        (isText(v[4]) || v[4].kind == StoredValue::Kind::Null)) {
        return v[0].bytes == "table" || v[0].bytes == "index" || v[0].bytes == "view" ||
               v[0].bytes == "trigger";
    }
    return v.size() == 3 && isText(v[0]) && v[1].kind == StoredValue::Kind::Integer && isText(v[2]);
}

std::string escaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The file of rows the fresh file could not take: one line a row, its
// values separated by tabs, made when the first row comes.
class UnplacedFile final {
public:
    explicit UnplacedFile(std::string path) : path_(std::move(path)) {}

    void write(std::string_view table, std::string_view reason, CellPlace place, const Row& row)
    {
        if (!out_.is_open()) {
            out_.open(path_, std::ios::binary | std::ios::trunc);
            // It may hold the sites' passwords: for its owner only.
            std::error_code ignored;
            std::filesystem::permissions(
                path_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                ignored);
            out_ << "# Rows found in the damaged file that the repaired file does not hold.\n"
                    "# Table, reason, page, row number, then the stored values separated by "
                    "tabs.\n";
        }
        out_ << (table.empty() ? "-" : table) << '\t' << reason << '\t' << place.page << '\t'
             << row.rowid;
        for (const StoredValue& value : row.values) {
            out_ << '\t';
            switch (value.kind) {
            case StoredValue::Kind::Null:
                break;
            case StoredValue::Kind::Integer:
                out_ << value.integer;
                break;
            case StoredValue::Kind::Real:
                out_ << value.real;
                break;
            case StoredValue::Kind::Text:
                out_ << escaped(value.bytes);
                break;
            case StoredValue::Kind::Blob: {
                static constexpr char kHex[] = "0123456789abcdef";
                out_ << "x'";
                for (const char c : value.bytes) {
                    const auto byte = static_cast<unsigned char>(c);
                    out_ << kHex[byte >> 4] << kHex[byte & 0x0F];
                }
                out_ << '\'';
                break;
            }
            }
        }
        out_ << '\n';
        ++written_;
    }
    std::int64_t written() const { return written_; }
    // A file that could not be made (a read-only folder) or written (a full
    // disk) holds fewer rows than were counted into it.
    bool failed() { return written_ > 0 && (!out_.is_open() || !out_.flush()); }

private:
    std::string path_;
    std::ofstream out_;
    std::int64_t written_ = 0;
};

// Which table each live leaf page belongs to, from the file's list of
// tables when its first page is still readable. Pages of tables that are
// not ours map to their own names; pages of bookkeeping to kBookkeeping.
std::map<std::uint32_t, std::string> liveOwners(pages::PageReader& reader, bool& schemaRead,
                                                std::set<std::string>& damagedTrees)
{
    std::map<std::uint32_t, std::string> owners;
    bool complete = true;
    const std::vector<std::uint32_t> schemaLeaves = reader.leavesOf(1, complete);
    std::vector<std::pair<std::string, std::uint32_t>> roots;
    for (const std::uint32_t page : schemaLeaves) {
        owners.emplace(page, kBookkeeping);
        for (std::uint32_t cell = 0; cell < reader.cellCount(page); ++cell) {
            const std::optional<Row> row = reader.row({page, cell});
            if (row && isBookkeeping(*row) && row->values.size() == 5 &&
                row->values[0].bytes == "table" && row->values[3].integer > 1 &&
                row->values[3].integer <= reader.pageCount()) {
                roots.emplace_back(row->values[1].bytes,
                                   static_cast<std::uint32_t>(row->values[3].integer));
            }
        }
    }
    schemaRead = !roots.empty();
    for (const auto& [name, root] : roots) {
        const bool ours = name != kLayoutTable && !name.starts_with("sqlite_");
        for (const std::uint32_t page : reader.leavesOf(root, complete)) {
            owners.emplace(page, ours ? name : std::string{kBookkeeping});
        }
        if (!complete) {
            damagedTrees.insert(text::upper(name));
        }
    }
    return owners;
}

} // namespace

RecoveryReport recoverRows(pages::PageReader& reader, const std::vector<const TableDef*>& tables,
                           Engine& fresh, const std::string& containerName,
                           const std::string& unplacedPath,
                           const std::function<bool(int percent)>& carryOn)
{
    RecoveryReport report;
    UnplacedFile unplaced{unplacedPath};
    // Reading the pages is the first half of the work, adding the rows the
    // second.
    const auto stop = [&](std::uint64_t done, std::uint64_t total, int from) {
        const int percent = from + static_cast<int>(done * 50 / std::max<std::uint64_t>(total, 1));
        return report.cancelled = report.cancelled || (carryOn && !carryOn(percent));
    };
    std::vector<std::size_t> columns;
    for (const TableDef* table : tables) {
        report.tables.push_back({std::string{table->table}});
        columns.push_back(detail::storedColumnNames(*table).size());
    }
    const auto tableNamed = [&](std::string_view name) -> int {
        for (std::size_t i = 0; i < tables.size(); ++i) {
            if (text::equalNoCase(tables[i]->table, name)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    };

    std::set<std::string> damagedTrees;
    const std::map<std::uint32_t, std::string> owners =
        liveOwners(reader, report.schemaRead, damagedTrees);
    for (std::size_t i = 0; i < tables.size(); ++i) {
        report.tables[i].treeDamaged = damagedTrees.contains(text::upper(tables[i]->table));
    }
    const std::set<std::uint32_t> free = reader.freePages();
    // Leaves below an interior page whose root is lost still belong to a
    // b-tree: their copy of a row is preferred to one on a stray page.
    std::set<std::uint32_t> reached;
    std::vector<std::vector<Candidate>> candidates(tables.size());
    for (std::uint32_t page = 1; page <= reader.pageCount(); ++page) {
        if (page % 64 == 0 && stop(page, reader.pageCount(), 0)) {
            return report;
        }
        const auto owner = owners.find(page);
        // A page on the free list holds rows deleted long ago, unless a live
        // b-tree reaches it after all.
        if (owner == owners.end() && free.contains(page)) {
            continue;
        }
        if (owner == owners.end()) {
            bool sound = true;
            for (const std::uint32_t child : reader.children(page, sound)) {
                reached.insert(child);
            }
        }
        const std::uint32_t cells = reader.cellCount(page);
        for (std::uint32_t cell = 0; cell < cells; ++cell) {
            const std::optional<Row> row = reader.row({page, cell});
            if (!row) {
                continue;
            }
            if (owner != owners.end()) {
                if (owner->second == kBookkeeping) {
                    continue;
                }
                const int index = tableNamed(owner->second);
                if (index < 0) {
                    ++report.noTable;
                    unplaced.write(owner->second, "a table this program does not have",
                                   {page, cell}, *row);
                } else if (!fits(*row, *tables[static_cast<std::size_t>(index)],
                                 columns[static_cast<std::size_t>(index)])) {
                    ++report.tables[static_cast<std::size_t>(index)].found;
                    ++report.tables[static_cast<std::size_t>(index)].unplaced;
                    unplaced.write(owner->second,
                                   row->complete ? "not in the table's layout"
                                                 : "part of the row could not be read",
                                   {page, cell}, *row);
                } else {
                    candidates[static_cast<std::size_t>(index)].push_back(
                        {row->rowid, {page, cell}, digestOf(*row), Standing::Live});
                }
                continue;
            }
            int placed = -1;
            for (std::size_t i = 0; i < tables.size() && placed < 0; ++i) {
                if (fits(*row, *tables[i], columns[i])) {
                    placed = static_cast<int>(i);
                }
            }
            if (placed >= 0) {
                candidates[static_cast<std::size_t>(placed)].push_back(
                    {row->rowid, {page, cell}, digestOf(*row), Standing::Unknown});
            } else if (!row->complete || !isBookkeeping(*row)) {
                ++report.noTable;
                unplaced.write({},
                               row->complete ? "fits no table of the file"
                                             : "part of the row could not be read",
                               {page, cell}, *row);
            }
        }
    }

    for (std::vector<Candidate>& rows : candidates) {
        for (Candidate& candidate : rows) {
            if (candidate.standing == Standing::Unknown && reached.contains(candidate.place.page)) {
                candidate.standing = Standing::Reached;
            }
        }
    }

    std::uint64_t total = 0;
    for (const std::vector<Candidate>& rows : candidates) {
        total += rows.size();
    }
    std::uint64_t handled = 0;
    for (std::size_t i = 0; i < tables.size() && !report.cancelled; ++i) {
        const TableDef& table = *tables[i];
        TableRecovery& counts = report.tables[i];
        RecordFile target{fresh, table};
        if (table.container.empty()) {
            target.setContainer(containerName);
        }
        report.status = target.create();
        if (report.status.ok()) {
            // Nothing waits on a sync here: the fresh file is not in use
            // until the caller, having synced it once, puts it in place.
            report.status = fresh.connection().execute("PRAGMA synchronous=OFF");
        }
        if (report.status.ok()) {
            report.status = target.open();
        }
        if (!report.status.ok()) {
            return report;
        }
        // Copies of one row: the live b-tree's first, then by page; a copy
        // that repeats the kept one exactly is the same row.
        std::vector<Candidate>& rows = candidates[i];
        std::stable_sort(rows.begin(), rows.end(), [](const Candidate& a, const Candidate& b) {
            if (a.rowid != b.rowid) {
                return a.rowid < b.rowid;
            }
            return a.standing > b.standing;
        });
        fresh.begin();
        std::size_t first = 0; // the first copy of the row at hand
        for (std::size_t at = 0; at < rows.size(); ++at) {
            const Candidate& candidate = rows[at];
            if (++handled % 256 == 0 && stop(handled, total, 50)) {
                break;
            }
            if (rows[first].rowid != candidate.rowid) {
                first = at;
            }
            const bool repeat = at != first;
            if (repeat && std::any_of(rows.begin() + static_cast<std::ptrdiff_t>(first),
                                      rows.begin() + static_cast<std::ptrdiff_t>(at),
                                      [&](const Candidate& earlier) {
                                          return earlier.digest == candidate.digest;
                                      })) {
                continue;
            }
            const std::optional<Row> row = reader.row(candidate.place);
            if (!row) {
                continue; // read once already: the source changed under us
            }
            ++counts.found;
            if (repeat) {
                ++counts.unplaced;
                unplaced.write(table.table, "another copy of a row kept", candidate.place, *row);
                continue;
            }
            Record record{table};
            for (int field = 0; field < table.fieldCount(); ++field) {
                const StoredValue& value = row->values[static_cast<std::size_t>(field)];
                if (table.isText(field)) {
                    record.setText(field, value.bytes);
                } else {
                    record.setNumber(field, value.integer);
                }
            }
            const EngineStatus added = target.add(record);
            if (added.code == kDuplicateKey) {
                ++counts.unplaced;
                unplaced.write(table.table, "repeats a unique key of a row kept", candidate.place,
                               *row);
            } else if (!added.ok()) {
                fresh.rollback();
                report.status = added;
                return report;
            } else {
                ++counts.kept;
            }
        }
        if (const EngineStatus committed = fresh.commit(); !committed.ok()) {
            report.status = committed;
            return report;
        }
        report.kept += counts.kept;
        target.close();
    }
    report.unplacedWritten = unplaced.written();
    if (unplaced.failed()) {
        report.status = EngineStatus::systemError(EIO);
    }
    return report;
}

} // namespace tessaly

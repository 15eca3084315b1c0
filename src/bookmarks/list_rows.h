#pragma once

#include "bookmarks/field_sort.h"
#include "core/record_file.h"

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace tessaly {

class Expression;

// The rows a bookmark list shows, in one key's order and under an optional
// filter. A file of 300 records or fewer is loaded whole; a larger one keeps
// only the positions of its rows (eight bytes each) and reads the records a
// page at a time as they come into view. The choice is made at the first
// load and kept.
//
// The key's order can be reversed, whole or paged: a paged list reads its
// positions from the key as always and keeps them the other way round. A
// list loaded whole can also be sorted by any field (see SortValue for how
// values and blanks order), rows with equal values keeping the key's order.
// A paged list cannot: no index holds the other fields, and reading 100,000
// records to sort them would undo the paging, so its headings of such fields
// are shown disabled (canSortByField()) and only key fields sort it
// (keyServingField()).
//
// Order, direction, sort field and filter take effect at the next reload().
class ListRows final {
public:
    static constexpr std::int64_t kLoadWholeLimit = 300;
    static constexpr std::size_t kPageSize = 64;

    // The record whose fields a row sorts by: the keyword and detail lists
    // sort by the fields of the bookmark a row belongs to.
    using RecordOf = std::function<const Record&(const Record& row)>;

    explicit ListRows(RecordFile& file) : file_(file) {}

    void setOrder(int key) { key_ = key; }
    // The rows in the opposite order of the key (or of the sort field).
    void setDescending(bool descending) { descending_ = descending; }
    bool descending() const { return descending_; }
    // Sorts by field `field` of each row's record (of `recordOf(row)` when
    // given: each reload calls it once a row and reads the field at once)
    // instead of by the key alone; nullopt goes back to the key's order.
    // Sets the direction as setDescending() does. A paged list drops the
    // field at its reload and keeps the key's order.
    void setFieldSort(std::optional<int> field, bool descending, RecordOf recordOf = {});
    std::optional<int> sortField() const { return sortField_; }
    // False for a paged list (as of the last load), whose rows only a key
    // can order.
    bool canSortByField() const { return !paging(); }
    // Which component of the order's key the locator searches (0: the first;
    // the category list, all of one category, searches the second).
    void setLocatorComponent(std::size_t component) { locatorComponent_ = component; }
    int order() const { return key_; }
    void setFilter(std::shared_ptr<const Expression> filter) { filter_ = std::move(filter); }

    // Reads the rows again from the file.
    EngineStatus reload();

    // The number of records in the whole file, as of the last load.
    std::int64_t fileCount() const { return fileCount_; }
    bool paging() const { return paging_.value_or(false); }
    std::size_t size() const;

    // The row at `index` (< size()); a blank record if it vanished meanwhile.
    const Record& at(std::size_t index);
    // The stored positions of the rows, in the order shown.
    std::vector<std::int64_t> positions() const;

    // The first row whose locator (a field of the order's key, or the sort
    // field) begins with `typed`, letter case ignored; else the row that
    // would follow the typed text in the order shown (reversed lists
    // included), the last row when none would. Empty for an empty list, and
    // under a sort by a number or date field when `typed` is no such value.
    std::optional<std::size_t> locate(std::string_view typed);

private:
    EngineStatus loadWhole();
    EngineStatus loadPositions();
    void sortWhole();
    std::optional<std::size_t> locateSorted(std::string_view typed);
    int compareLocator(const Record& row, std::string_view typed) const;
    int locatorField() const;

    RecordFile& file_;
    int key_ = 0;
    std::size_t locatorComponent_ = 0;
    bool descending_ = false;
    std::optional<int> sortField_;
    RecordOf recordOf_;
    std::vector<SortValue> sortValues_; // of whole_, while sorted by a field
    // How the rows were ordered at the last reload (the settings above may
    // have changed since): the direction, and the field and its table when
    // sorted by a field.
    bool rowsDescending_ = false;
    int sortedField_ = 0;
    const TableDef* sortTable_ = nullptr;
    std::shared_ptr<const Expression> filter_;
    std::optional<bool> paging_;
    std::int64_t fileCount_ = 0;
    std::vector<Record> whole_;
    std::vector<std::int64_t> positions_;
    std::map<std::size_t, std::vector<Record>> pages_;
    std::list<std::size_t> pageUse_; // most recent first
};

} // namespace tessaly

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
// positions from the key as always and keeps them the other way round. Any
// list can also be sorted by any field (see SortValue for how values and
// blanks order), rows with equal values keeping the key's order. A list
// loaded whole sorts its records; a paged one reads every row once at each
// load and keeps its positions sorted by the field, with the field's values
// for the locator. That reading reports its progress and may be cancelled:
// the rows are then in the key's order, as if no field had been chosen.
//
// Order, direction, sort field and filter take effect at the next reload().
class ListRows final {
public:
    static constexpr std::int64_t kLoadWholeLimit = 300;
    static constexpr std::size_t kPageSize = 64;

    // The record whose fields a row sorts by: the keyword and detail lists
    // sort by the fields of the bookmark a row belongs to.
    using RecordOf = std::function<const Record&(const Record& row)>;
    // Told how many of about `total` rows a sort by a field has read, with
    // `done` 0 before the first and equal to `total` at the end; false stops
    // the sort.
    using Progress = std::function<bool(std::size_t done, std::size_t total)>;

    explicit ListRows(RecordFile& file) : file_(file) {}

    void setOrder(int key) { key_ = key; }
    // The rows in the opposite order of the key (or of the sort field).
    void setDescending(bool descending) { descending_ = descending; }
    bool descending() const { return descending_; }
    // Sorts by field `field` of each row's record (of `recordOf(row)` when
    // given: each reload calls it once a row and reads the field at once)
    // instead of by the key alone; nullopt goes back to the key's order.
    // Sets the direction as setDescending() does.
    void setFieldSort(std::optional<int> field, bool descending, RecordOf recordOf = {});
    std::optional<int> sortField() const { return sortField_; }
    void setProgress(Progress progress) { progress_ = std::move(progress); }
    // Whether the last reload's sort by a field was cancelled.
    bool cancelled() const { return cancelled_; }
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
    // The row of the record stored at `position`, if the list shows it.
    std::optional<std::size_t> indexOf(std::int64_t position) const;
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
    EngineStatus loadSortedPositions();
    // Puts rows read in record order into the key's order.
    EngineStatus intoKeyOrder(std::vector<std::int64_t>& positions, std::vector<SortValue>& values);
    void sortWhole();
    // The order of `values` sorted as the rows show them.
    std::vector<std::size_t> sortedOrder(const std::vector<SortValue>& values) const;
    std::optional<std::size_t> locateSorted(std::string_view typed);
    int compareLocator(const Record& row, std::string_view typed) const;
    int locatorField() const;

    RecordFile& file_;
    int key_ = 0;
    std::size_t locatorComponent_ = 0;
    bool descending_ = false;
    std::optional<int> sortField_;
    RecordOf recordOf_;
    Progress progress_;
    bool cancelled_ = false;
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

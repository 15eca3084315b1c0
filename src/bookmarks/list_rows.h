#pragma once

#include "core/record_file.h"

#include <cstdint>
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
class ListRows final {
public:
    static constexpr std::int64_t kLoadWholeLimit = 300;
    static constexpr std::size_t kPageSize = 64;

    explicit ListRows(RecordFile& file) : file_(file) {}

    void setOrder(int key) { key_ = key; }
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

    // The first row whose locator (a field of the order's key) begins with
    // `typed`, letter case ignored; else the first not before it in the
    // key's order, the last row when all are.
    std::optional<std::size_t> locate(std::string_view typed);

private:
    int compareLocator(const Record& row, std::string_view typed) const;
    int locatorField() const;

    RecordFile& file_;
    int key_ = 0;
    std::size_t locatorComponent_ = 0;
    std::shared_ptr<const Expression> filter_;
    std::optional<bool> paging_;
    std::int64_t fileCount_ = 0;
    std::vector<Record> whole_;
    std::vector<std::int64_t> positions_;
    std::map<std::size_t, std::vector<Record>> pages_;
    std::list<std::size_t> pageUse_; // most recent first
};

} // namespace tessaly

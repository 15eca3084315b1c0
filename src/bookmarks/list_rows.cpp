#include "bookmarks/list_rows.h"

#include "framework/expression.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>
#include <numeric>

namespace tessaly {

namespace {

constexpr std::size_t kPagesKept = 16;

} // namespace

void ListRows::setFieldSort(std::optional<int> field, bool descending, RecordOf recordOf)
{
    sortField_ = field;
    descending_ = descending;
    recordOf_ = field ? std::move(recordOf) : RecordOf{};
}

EngineStatus ListRows::reload()
{
    cancelled_ = false;
    whole_.clear();
    sortValues_.clear();
    sortTable_ = nullptr;
    rowsDescending_ = descending_;
    positions_.clear();
    pages_.clear();
    pageUse_.clear();
    fileCount_ = file_.records();
    if (!paging_) {
        paging_ = fileCount_ > kLoadWholeLimit;
    }
    file_.setFilter(filter_);
    EngineStatus status;
    if (!*paging_) {
        status = loadWhole();
        if (sortField_) {
            sortWhole();
        } else if (descending_) {
            std::reverse(whole_.begin(), whole_.end());
        }
        return status;
    }
    cancelled_ = false;
    if (sortField_) {
        status = loadSortedPositions();
        if (!cancelled_) {
            return status;
        }
        // Cancelled: the key's order, and no field to show an arrow on.
        sortField_.reset();
        recordOf_ = nullptr;
        sortValues_.clear();
        sortTable_ = nullptr;
        positions_.clear();
        file_.setFilter(filter_);
    }
    status = loadPositions();
    if (descending_) {
        // The key read forwards and kept backwards: no record is read.
        std::reverse(positions_.begin(), positions_.end());
    }
    return status;
}

EngineStatus ListRows::loadWhole()
{
    file_.set(key_);
    Record row{file_.table()};
    while (file_.next(row).ok()) {
        whole_.push_back(row);
    }
    file_.setFilter(nullptr);
    const EngineStatus status = file_.status();
    return status.code == kNoMoreRecords ? EngineStatus{} : status;
}

EngineStatus ListRows::loadPositions()
{
    if (!filter_ || filter_->empty()) {
        file_.setFilter(nullptr);
        return file_.positions(key_, positions_);
    }
    // A filter must see every record once; only the positions are kept.
    file_.set(key_);
    Record row{file_.table()};
    while (file_.next(row).ok()) {
        positions_.push_back(row.position);
    }
    file_.setFilter(nullptr);
    const EngineStatus status = file_.status();
    return status.code == kNoMoreRecords ? EngineStatus{} : status;
}

// Every row read once, its position and sort value kept. Without a filter
// only the field's column is read.
EngineStatus ListRows::loadSortedPositions()
{
    constexpr std::size_t kProgressEvery = 2048;
    const auto total = static_cast<std::size_t>(fileCount_);
    if (progress_ && !progress_(0, total)) {
        cancelled_ = true;
        return {};
    }
    std::vector<SortValue> values;
    std::vector<std::int64_t> positions;
    values.reserve(total);
    positions.reserve(total);
    const auto take = [&](const Record& row) {
        const Record& record = recordOf_ ? recordOf_(row) : row;
        sortTable_ = &record.table();
        values.push_back(sortValueOf(record, *sortField_));
        positions.push_back(row.position);
        if (progress_ && positions.size() % kProgressEvery == 0 &&
            !progress_(std::min(positions.size(), total - 1), total)) {
            cancelled_ = true;
        }
        return !cancelled_;
    };
    EngineStatus status;
    if (!recordOf_ && (!filter_ || filter_->empty())) {
        // Nothing but the field decides: its column alone is read, in
        // record order (reading it in the key's order would look each
        // record up from the key), and the rows put in the key's order
        // from the key alone, so that equal values keep it.
        file_.setFilter(nullptr);
        status = file_.fieldInKeyOrder(-1, *sortField_, take);
        if (status.ok() && !cancelled_) {
            status = intoKeyOrder(positions, values);
        }
    } else {
        file_.set(key_);
        Record row{file_.table()};
        while (file_.next(row).ok() && take(row)) {
        }
        file_.setFilter(nullptr);
        status = file_.status();
    }
    if (cancelled_) {
        return {};
    }
    sortedField_ = *sortField_;
    const std::vector<std::size_t> order = sortedOrder(values);
    positions_.reserve(order.size());
    sortValues_.reserve(order.size());
    for (const std::size_t i : order) {
        positions_.push_back(positions[i]);
        sortValues_.push_back(std::move(values[i]));
    }
    if (progress_) {
        progress_(total, total);
    }
    return status.code == kNoMoreRecords ? EngineStatus{} : status;
}

EngineStatus ListRows::intoKeyOrder(std::vector<std::int64_t>& positions,
                                    std::vector<SortValue>& values)
{
    std::vector<std::int64_t> keyOrder;
    if (EngineStatus status = file_.positions(key_, keyOrder); !status.ok()) {
        return status;
    }
    if (keyOrder.size() != positions.size()) {
        return {}; // changed between the two readings: ties in record order
    }
    // `positions` ascend (record order); each one's place in the key.
    std::vector<std::pair<std::int64_t, std::size_t>> places(keyOrder.size());
    for (std::size_t i = 0; i < keyOrder.size(); ++i) {
        places[i] = {keyOrder[i], i};
    }
    std::sort(places.begin(), places.end());
    for (std::size_t j = 0; j < positions.size(); ++j) {
        if (places[j].first != positions[j]) {
            return {};
        }
    }
    std::vector<std::int64_t> orderedPositions(positions.size());
    std::vector<SortValue> orderedValues(values.size());
    for (std::size_t j = 0; j < positions.size(); ++j) {
        orderedPositions[places[j].second] = positions[j];
        orderedValues[places[j].second] = std::move(values[j]);
    }
    positions = std::move(orderedPositions);
    values = std::move(orderedValues);
    return {};
}

std::vector<std::size_t> ListRows::sortedOrder(const std::vector<SortValue>& values) const
{
    std::vector<std::size_t> order(values.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    // Stable, so that equal values keep the key's order; blanks stay last
    // whichever the direction.
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int c = compareSortValues(values[a], values[b]);
        return rowsDescending_ && !values[a].blank && !values[b].blank ? c > 0 : c < 0;
    });
    return order;
}

void ListRows::sortWhole()
{
    std::vector<SortValue> values;
    values.reserve(whole_.size());
    for (const Record& row : whole_) {
        const Record& record = recordOf_ ? recordOf_(row) : row;
        sortTable_ = &record.table();
        values.push_back(sortValueOf(record, *sortField_));
    }
    sortedField_ = *sortField_;
    const std::vector<std::size_t> order = sortedOrder(values);
    std::vector<Record> rows;
    rows.reserve(whole_.size());
    sortValues_.reserve(whole_.size());
    for (const std::size_t i : order) {
        rows.push_back(std::move(whole_[i]));
        sortValues_.push_back(std::move(values[i]));
    }
    whole_ = std::move(rows);
}

std::size_t ListRows::size() const
{
    return paging() ? positions_.size() : whole_.size();
}

std::optional<std::size_t> ListRows::indexOf(std::int64_t position) const
{
    const std::size_t count = size();
    for (std::size_t i = 0; i < count; ++i) {
        if ((paging() ? positions_[i] : whole_[i].position) == position) {
            return i;
        }
    }
    return std::nullopt;
}

std::vector<std::int64_t> ListRows::positions() const
{
    if (paging()) {
        return positions_;
    }
    std::vector<std::int64_t> out;
    out.reserve(whole_.size());
    for (const Record& row : whole_) {
        out.push_back(row.position);
    }
    return out;
}

const Record& ListRows::at(std::size_t index)
{
    if (!paging()) {
        return whole_[index];
    }
    const std::size_t page = index / kPageSize;
    auto found = pages_.find(page);
    if (found == pages_.end()) {
        std::vector<Record> rows;
        const std::size_t first = page * kPageSize;
        const std::size_t last = std::min(first + kPageSize, positions_.size());
        rows.reserve(last - first);
        for (std::size_t i = first; i < last; ++i) {
            Record row{file_.table()};
            if (!file_.getAt(positions_[i], row).ok()) {
                row.clear(); // deleted by another window since the load
            }
            rows.push_back(std::move(row));
        }
        if (pages_.size() >= kPagesKept) {
            pages_.erase(pageUse_.back());
            pageUse_.pop_back();
        }
        found = pages_.emplace(page, std::move(rows)).first;
    } else {
        pageUse_.remove(page);
    }
    pageUse_.push_front(page);
    return found->second[index - page * kPageSize];
}

int ListRows::compareLocator(const Record& row, std::string_view typed) const
{
    const TableDef& table = file_.table();
    const KeyDef& key = table.keys[static_cast<std::size_t>(key_)];
    const KeyComponent& first =
        key.components[std::min(locatorComponent_, key.components.size() - 1)];
    if (!table.isText(first.field)) {
        const double wanted = parseNumber(typed).value_or(0);
        const double value = static_cast<double>(row.number(first.field));
        const int c = value < wanted ? -1 : (value > wanted ? 1 : 0);
        return first.descending ? -c : c;
    }
    // Only as much of the field as was typed counts, so "Ne" finds "News"
    // whichever way the list runs.
    typed = text::clip(typed);
    const std::string_view value = utf8::prefix(row.text(first.field), utf8::length(typed));
    return key.noCase ? text::compareNoCase(value, typed) : text::compare(value, typed);
}

int ListRows::locatorField() const
{
    const KeyDef& key = file_.table().keys[static_cast<std::size_t>(key_)];
    return key.components[std::min(locatorComponent_, key.components.size() - 1)].field;
}

std::optional<std::size_t> ListRows::locate(std::string_view typed)
{
    if (size() == 0 || key_ < 0) {
        return std::nullopt;
    }
    if (sortTable_ != nullptr) {
        return locateSorted(typed);
    }
    const TableDef& table = file_.table();
    const int field = locatorField();
    if (!table.keys[static_cast<std::size_t>(key_)].noCase && table.isText(field)) {
        // The key orders by character code, yet what is typed finds its row
        // in any letter case ("beta" finds "Beta site"): the first row that
        // begins with it, else the nearest in the key's own order.
        for (std::size_t i = 0; i < size(); ++i) {
            if (text::startsWithNoCase(at(i).text(field), typed)) {
                return i;
            }
        }
    }
    // The rows shown before the typed text: those before it in the key's
    // order, or after it in a reversed list.
    std::size_t low = 0;
    std::size_t high = size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        const int c = compareLocator(at(mid), typed);
        if (rowsDescending_ ? c > 0 : c < 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return std::min(low, size() - 1);
}

std::optional<std::size_t> ListRows::locateSorted(std::string_view typed)
{
    const std::optional<SortValue> wanted = typedValueOf(*sortTable_, sortedField_, typed);
    if (!wanted) {
        return std::nullopt;
    }
    const bool isText = sortTable_->isText(sortedField_);
    std::size_t low = 0;
    std::size_t high = sortValues_.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        const SortValue& value = sortValues_[mid];
        const int c = compareToTyped(value, *wanted, isText);
        if (!value.blank && (rowsDescending_ ? c > 0 : c < 0)) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return std::min(low, sortValues_.size() - 1);
}

} // namespace tessaly

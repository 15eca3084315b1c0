#include "bookmarks/list_rows.h"

#include "framework/expression.h"
#include "framework/picture.h"
#include "framework/text.h"

#include <algorithm>

namespace tessaly {

namespace {

constexpr std::size_t kPagesKept = 16;

} // namespace

EngineStatus ListRows::reload()
{
    whole_.clear();
    positions_.clear();
    pages_.clear();
    pageUse_.clear();
    fileCount_ = file_.records();
    if (!paging_) {
        paging_ = fileCount_ > kLoadWholeLimit;
    }
    file_.setFilter(filter_);
    if (!*paging_) {
        file_.set(key_);
        Record row{file_.table()};
        while (file_.next(row).ok()) {
            whole_.push_back(row);
        }
        file_.setFilter(nullptr);
        const EngineStatus status = file_.status();
        return status.code == kNoMoreRecords ? EngineStatus{} : status;
    }
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

std::size_t ListRows::size() const
{
    return paging() ? positions_.size() : whole_.size();
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
    // Only as much of the field as was typed counts, so "Ne" finds "News".
    const std::string& value = row.text(first.field);
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
    std::size_t low = 0;
    std::size_t high = size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (compareLocator(at(mid), typed) < 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return std::min(low, size() - 1);
}

} // namespace tessaly

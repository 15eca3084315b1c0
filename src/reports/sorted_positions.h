#pragma once

#include "framework/expression.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tessaly {

// Puts record positions into the order of a sort expression without
// holding the whole file: positions arrive with their sort keys, are
// sorted a run at a time in memory, each run is kept in a temporary file,
// and the runs are merged as the positions are taken back. Equal keys keep
// the order they arrived in. Write errors are kept and reported by error().
class SortedPositions final {
public:
    static constexpr std::size_t kRunLength = 8192;

    explicit SortedPositions(const SortOrder& order, std::size_t runLength = kRunLength);
    ~SortedPositions();
    SortedPositions(const SortedPositions&) = delete;
    SortedPositions& operator=(const SortedPositions&) = delete;

    void add(const FieldSource& record, std::int64_t position);
    // Ends the adding; next() then gives the positions in order.
    void finish();
    bool next(std::int64_t& position);

    std::int64_t size() const { return added_; }
    const std::string& error() const { return error_; }

private:
    struct Entry {
        std::vector<Value> key;
        std::int64_t position = 0;
        std::int64_t arrival = 0;
    };
    struct Run;

    void spill();
    bool less(const Entry& a, const Entry& b) const;
    void fail(int errorNumber);

    const SortOrder& order_;
    std::size_t runLength_;
    std::vector<Entry> pending_;
    std::vector<std::unique_ptr<Run>> runs_;
    std::int64_t added_ = 0;
    std::string error_;
};

} // namespace tessaly

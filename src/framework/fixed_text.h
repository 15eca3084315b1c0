#pragma once

#include "framework/text.h"

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

// A text field of `Width` characters. Assigning a longer text cuts it at the
// width (never inside a character); trailing blanks are dropped on assignment,
// so the value, its comparisons and its output all ignore them. The blank
// padding of the stored field is produced by padded() where a fixed-column
// file needs it.
template <std::size_t Width> class FixedText {
public:
    static constexpr std::size_t width = Width;

    FixedText() = default;
    FixedText(std::string_view value) { assign(value); } // NOLINT: fields take text implicitly
    FixedText(const char* value) { assign(value); }      // NOLINT

    FixedText& operator=(std::string_view value)
    {
        assign(value);
        return *this;
    }

    FixedText& operator=(const char* value)
    {
        assign(value);
        return *this;
    }

    void assign(std::string_view value) { value_ = text::fit(value, Width); }
    void clear() { value_.clear(); }

    const std::string& str() const { return value_; }
    std::string_view view() const { return value_; }
    operator std::string_view() const { return value_; } // NOLINT: reads as text anywhere
    bool empty() const { return value_.empty(); }
    std::string padded() const { return text::padded(value_, Width); }

    friend bool operator==(const FixedText& a, const FixedText& b) { return a.value_ == b.value_; }
    friend bool operator==(const FixedText& a, std::string_view b)
    {
        return text::equal(a.value_, b);
    }
    friend std::strong_ordering operator<=>(const FixedText& a, const FixedText& b)
    {
        return text::compare(a.value_, b.value_) <=> 0;
    }

private:
    std::string value_;
};

} // namespace tessaly

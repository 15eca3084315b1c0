#pragma once

#include <span>
#include <string_view>

namespace tessaly {

// How a field is offered to queries: 1 text, 2 number or date, 3 choice.
enum class FieldType { Text = 1, Number = 2, Choice = 3 };

// The most characters an address (URL:Location, URL:MovedTo and the keyword
// and detail rows' locations) holds. Addresses are kept whole: a longer one
// is refused, never stored cut.
inline constexpr int kAddressWidth = 65536;
// The same as the messages write it.
inline constexpr std::string_view kAddressWidthText = "65,536";
static_assert(
    [] {
        int value = 0;
        for (const char c : kAddressWidthText) {
            value = c == ',' ? value : value * 10 + (c - '0');
        }
        return value;
    }() == kAddressWidth,
    "kAddressWidthText writes kAddressWidth");

// One field of a record file: its label (PREFIX:Name), the description shown
// in queries, its display picture, its size (characters for texts, bytes for
// numbers) and, for choice fields, the "|"-separated choice texts. A
// `whole` text is never stored cut: a longer value is refused instead (a cut
// address leads somewhere else).
struct FieldDef {
    std::string_view label;
    std::string_view description;
    std::string_view picture;
    int size = 0;
    FieldType type = FieldType::Text;
    std::string_view choices = {};
    bool whole = false;

    bool isText() const { return type == FieldType::Text; }
};

// The fields of one record file in storage order.
class RecordSchema {
public:
    constexpr RecordSchema(std::string_view prefix, std::span<const FieldDef> fields)
        : prefix_(prefix), fields_(fields)
    {}

    std::string_view prefix() const { return prefix_; }
    std::span<const FieldDef> fields() const { return fields_; }

    // Index of the field whose label matches `label` (letter case ignored),
    // or -1.
    int indexOf(std::string_view label) const;

private:
    std::string_view prefix_;
    std::span<const FieldDef> fields_;
};

} // namespace tessaly

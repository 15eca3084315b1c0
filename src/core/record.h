#pragma once

#include "core/table_def.h"
#include "framework/expression_value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tessaly {

// One record of a keyed file, held by value. Texts are fitted to their
// field's width on assignment (cut at the width, trailing blanks dropped);
// numbers are whole numbers. `position` identifies the stored record the
// buffer was read from (0 for a record not read from the file).
class Record final : public FieldSource {
public:
    explicit Record(const TableDef& table);

    const TableDef& table() const { return *table_; }
    std::int64_t position = 0;

    const std::string& text(int field) const { return fields_[index(field)].text; }
    std::int64_t number(int field) const { return fields_[index(field)].number; }
    void setText(int field, std::string_view value);
    void setNumber(int field, std::int64_t value);

    // The same by a field enum (BookmarkField::Location, ...).
    template <typename E, typename = std::enable_if_t<std::is_enum_v<E>>>
    const std::string& text(E field) const
    {
        return text(static_cast<int>(field));
    }
    template <typename E, typename = std::enable_if_t<std::is_enum_v<E>>>
    std::int64_t number(E field) const
    {
        return number(static_cast<int>(field));
    }
    template <typename E, typename = std::enable_if_t<std::is_enum_v<E>>>
    void setText(E field, std::string_view value)
    {
        setText(static_cast<int>(field), value);
    }
    template <typename E, typename = std::enable_if_t<std::is_enum_v<E>>>
    void setNumber(E field, std::int64_t value)
    {
        setNumber(static_cast<int>(field), value);
    }

    // Whether the last text given to `field` was longer than the field and
    // was cut to its width (trailing blanks do not count). The importers
    // count such fields; the record file refuses a record whose `whole`
    // field was cut. Cleared by a text that fits and by clear().
    bool wasCut(int field) const { return fields_[index(field)].cut; }
    template <typename E, typename = std::enable_if_t<std::is_enum_v<E>>> bool wasCut(E field) const
    {
        return wasCut(static_cast<int>(field));
    }
    // The field numbers of every field wasCut() holds for, in storage order.
    std::vector<int> cutFields() const;

    // Blanks every text and zeroes every number; the position is kept.
    void clear();
    // Field `field` of `from`, a record of the same table, as it stands: it
    // was fitted when it was set, so a scan that keeps its place copies it
    // for every row without fitting it again.
    void copyField(int field, const Record& from)
    {
        fields_[index(field)] = from.fields_[index(field)];
    }

    Value field(int index) const override;

private:
    struct Field {
        std::string text;
        std::int64_t number = 0;
        bool cut = false;
    };

    static std::size_t index(int field) { return static_cast<std::size_t>(field); }

    const TableDef* table_;
    std::vector<Field> fields_;
};

} // namespace tessaly

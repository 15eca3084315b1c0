#include "core/record.h"

#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>
#include <cstdint>

namespace tessaly {

Record::Record(const TableDef& table)
    : table_(&table), fields_(static_cast<std::size_t>(table.fieldCount()))
{}

void Record::setText(int field, std::string_view value)
{
    // Everything stored is well-formed UTF-8, whatever brought the bytes in,
    // so keys compare exactly what is stored.
    const auto width = static_cast<std::size_t>(table_->width(field));
    Field& f = fields_[index(field)];
    if (utf8::isValid(value)) {
        f.text = text::fit(value, width);
        f.cut = f.text.size() < text::clip(value).size();
    } else {
        const std::string valid = utf8::valid(value);
        f.text = text::fit(valid, width);
        f.cut = f.text.size() < text::clip(valid).size();
    }
}

std::vector<int> Record::cutFields() const
{
    std::vector<int> cut;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].cut) {
            cut.push_back(static_cast<int>(i));
        }
    }
    return cut;
}

void Record::setNumber(int field, std::int64_t value)
{
    // What the field's storage type can hold: a byte, a two-digit decimal or
    // a 32-bit long.
    const int size = table_->width(field);
    if (size == 1) {
        value = std::clamp<std::int64_t>(value, 0, 255);
    } else if (size == 2) {
        value = std::clamp<std::int64_t>(value, -99, 99);
    } else {
        value = std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX);
    }
    fields_[index(field)].number = value;
}

void Record::clear()
{
    for (Field& f : fields_) {
        f.text.clear();
        f.number = 0;
        f.cut = false;
    }
}

Value Record::field(int fieldIndex) const
{
    if (fieldIndex < 0 || static_cast<std::size_t>(fieldIndex) >= fields_.size()) {
        return Value::view({});
    }
    const Field& f = fields_[index(fieldIndex)];
    return table_->isText(fieldIndex) ? Value::view(f.text)
                                      : Value::number(static_cast<double>(f.number));
}

} // namespace tessaly

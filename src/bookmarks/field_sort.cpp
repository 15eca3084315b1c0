#include "bookmarks/field_sort.h"

#include "framework/dates.h"
#include "framework/picture.h"
#include "framework/text.h"

namespace tessaly {

namespace {

Picture pictureOf(const TableDef& table, int field)
{
    return Picture::parse(table.schema->fields()[static_cast<std::size_t>(field)].picture);
}

int sign(std::int64_t a, std::int64_t b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

SortValue sortValueOf(const Record& record, int field)
{
    const TableDef& table = record.table();
    SortValue value;
    if (field < 0 || field >= table.fieldCount()) {
        value.blank = true; // a field the record does not have
        return value;
    }
    if (table.isText(field)) {
        value.folded = text::foldKey(record.text(field));
        value.blank = value.folded.empty();
        return value;
    }
    value.number = record.number(field);
    if (value.number == 0) {
        // A date or time of 0 is "none"; other zeros are values unless the
        // picture shows them blank.
        const Picture picture = pictureOf(table, field);
        value.blank = picture.kind == Picture::Kind::Date || picture.kind == Picture::Kind::Time ||
                      picture.blankWhenZero;
    }
    return value;
}

int compareSortValues(const SortValue& a, const SortValue& b)
{
    if (a.blank || b.blank) {
        return a.blank == b.blank ? 0 : (a.blank ? 1 : -1);
    }
    if (a.folded != b.folded) {
        return a.folded < b.folded ? -1 : 1; // the folded form orders bytewise
    }
    return sign(a.number, b.number);
}

std::optional<SortValue> typedValueOf(const TableDef& table, int field, std::string_view typed)
{
    SortValue value;
    if (field < 0 || field >= table.fieldCount()) {
        return std::nullopt;
    }
    if (table.isText(field)) {
        value.folded = text::foldKey(typed);
        return value;
    }
    const Picture picture = pictureOf(table, field);
    if (picture.kind == Picture::Kind::Date) {
        value.number = parseDate(typed, picture, dates::civilDate(dates::today()).year);
        return value.number == 0 ? std::nullopt : std::optional{value};
    }
    const std::optional<double> number = parseNumber(typed);
    if (!number) {
        return std::nullopt;
    }
    value.number = static_cast<std::int64_t>(*number);
    return value;
}

int compareToTyped(const SortValue& value, const SortValue& typed, bool isText)
{
    if (value.blank) {
        return 1;
    }
    if (!isText) {
        return sign(value.number, typed.number);
    }
    // Bytes of UTF-8 order as characters do, so the value's first bytes
    // decide as its first characters would.
    const int c =
        std::string_view{value.folded}.substr(0, typed.folded.size()).compare(typed.folded);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int keyServingField(const TableDef& table, int field)
{
    for (std::size_t k = 0; k < table.keys.size(); ++k) {
        if (!table.keys[k].components.empty() && table.keys[k].components.front().field == field) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

} // namespace tessaly

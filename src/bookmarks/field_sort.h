#pragma once

#include "core/record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

// What a row sorts by when a list is ordered by one of its fields rather
// than by a key. Texts sort as the case-insensitive keys do (É with é);
// numbers, dates and times by their value. A blank value (an empty text, a
// date or time of 0, a zero the field's picture leaves blank) sorts after
// every other in both directions: whoever sorts by a column wants to see its
// values, not the rows that have none.
struct SortValue {
    bool blank = false;
    std::string folded; // text fields: text::foldKey of the text
    std::int64_t number = 0;
};

// The sort value of field `field` of `record`; blank for a field the
// record does not have.
SortValue sortValueOf(const Record& record, int field);

// Orders two values of one field in ascending order (negative, zero or
// positive); blanks last.
int compareSortValues(const SortValue& a, const SortValue& b);

// The typed text as a value of field `field` of `table`: the text itself
// for a text field, a date in the field's picture for a date field, a number
// for the others; empty when it is no such value.
std::optional<SortValue> typedValueOf(const TableDef& table, int field, std::string_view typed);

// Where `value` stands against a typed value of the same field in ascending
// order: negative before it, zero when it begins with it (only as much of a
// text as was typed counts, so "ne" meets "News"), positive after. A blank
// value is after every typed one.
int compareToTyped(const SortValue& value, const SortValue& typed, bool isText);

// The key whose order serves a sort by `field` of `table`: the first key
// declared whose first component is that field, or -1 when no key starts
// with it. For the bookmark file: location, description, category (then
// description), rating (highest first) and keyword (then description); a
// list sorted through a key stays paged. The key's own direction is the
// order of a first click; reversing it is ListRows::setDescending.
int keyServingField(const TableDef& table, int field);

} // namespace tessaly

#pragma once

#include "framework/record_schema.h"

#include <span>
#include <string>
#include <string_view>

namespace tessaly {

// One component of a key: a field number of the record and its direction.
struct KeyComponent {
    int field = 0;
    bool descending = false;
};

// A key of a record file: the order in which it lists records, whether it
// refuses a second record with the same value, and whether letter case
// counts. `autoNumber` is the component numbered automatically (-1 none).
struct KeyDef {
    std::string_view name;        // "K_LOCATION"; the label is PREFIX:name
    std::string_view description; // the sort-order name ("Site Location")
    std::span<const KeyComponent> components;
    bool unique = false;
    bool noCase = false;
    int autoNumber = -1;
};

// A keyed record file: its label, where it is stored, its fields (the
// schema) and keys, and the layout version that drives upgrading. A file
// whose container is empty is stored under a name given at open time.
struct TableDef {
    std::string_view label;       // "TESSLY"
    std::string_view container;   // "URLDATA", "URL_C", "URL_H" or empty
    std::string_view table;       // the table inside the container ("Locations")
    std::string_view description; // for messages, when the file has one
    int layoutVersion = 0;
    bool owned = false; // declared with the owner name
    const RecordSchema* schema = nullptr;
    std::span<const KeyDef> keys;

    std::string_view prefix() const { return schema->prefix(); }
    int fieldCount() const { return static_cast<int>(schema->fields().size()); }
    // The column name of a field: its label without the prefix.
    std::string_view column(int field) const;
    bool isText(int field) const;
    int width(int field) const;
    // True when a case-insensitive key holds the field: the file then keeps
    // a folded copy of it (foldedColumn) that the key's index orders.
    bool isFolded(int field) const;
    std::string foldedColumn(int field) const;
    // The key whose label or name matches (letter case ignored), or -1.
    int keyIndex(std::string_view name) const;
};

// The owner name under which the URLDATA tables are declared.
inline constexpr std::string_view kOwnerName = "Sealmark 1993-1998 Quill Brandoner";

} // namespace tessaly

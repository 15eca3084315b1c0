#pragma once

#include "framework/record_schema.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// A field offered to the query editor.
struct QueryField {
    std::string description;
    std::string label;
    std::string picture;
    int size = 0;
    FieldType type = FieldType::Text;
    std::string choices; // "|"-separated, choice fields only

    friend bool operator==(const QueryField&, const QueryField&) = default;
};

// Separators of the field-list text: records by 0xAB, items by 0xA6.
constexpr char kQueryRecordSeparator = '\xAB';
constexpr char kQueryItemSeparator = '\xA6';

// The field-list text: one record per field, each of ten items: description,
// "0", label, picture, size, type (1 text, 2 number or date, 3 choice), flag
// (1, or 3 for a choice), "", choices (choice fields only), "".
std::string buildQueryFieldList(const std::vector<QueryField>& fields);

// Reads a field-list text back; records with fewer than ten items or an
// unknown type are skipped.
std::vector<QueryField> parseQueryFieldList(std::string_view list);

// The query fields of every field of a record file, in record order.
std::vector<QueryField> queryFieldsOf(const RecordSchema& schema);

// Query tags under which the editor keeps saved queries.
inline constexpr std::string_view kQueryTagBookmarks = "URL";
inline constexpr std::string_view kQueryTagLinks = "LINKS";
inline constexpr std::string_view kQueryTagExport = "EXPORT";

// The query editor's display text number `number` (operators 1 to 12, and
// its own texts such as 33 "Invalid Query", 302 "All Records", 303 "Custom
// Query..."); empty for a number that has none.
std::string_view queryEditorText(int number);

} // namespace tessaly

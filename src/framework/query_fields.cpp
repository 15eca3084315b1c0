#include "framework/query_fields.h"

#include <array>
#include <charconv>
#include <utility>

namespace tessaly {

namespace {

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

int toInt(std::string_view digits)
{
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc{} && end == digits.data() + digits.size() ? value : -1;
}

constexpr std::array<std::pair<int, std::string_view>, 15> kEditorTexts = {{
    {1, "Is Equal To"},
    {2, "Is NOT Equal To"},
    {3, "Is Greater Than"},
    {4, "Is Less Than"},
    {5, "Is Greater Than or Equal To"},
    {6, "Is Less Than or Equal To"},
    {7, "Begins With"},
    {8, "Contains"},
    {9, "Does NOT Begin With"},
    {10, "Does NOT Contain"},
    {11, "Is Checked"},
    {12, "Is NOT Checked"},
    {33, "Invalid Query"},
    {302, "All Records"},
    {303, "Custom Query..."},
}};

} // namespace

std::string buildQueryFieldList(const std::vector<QueryField>& fields)
{
    std::string list;
    for (const QueryField& field : fields) {
        if (!list.empty()) {
            list.push_back(kQueryRecordSeparator);
        }
        const bool choice = field.type == FieldType::Choice;
        const std::array<std::string, 10> items = {
            field.description,
            "0",
            field.label,
            field.picture,
            std::to_string(field.size),
            std::to_string(static_cast<int>(field.type)),
            choice ? "3" : "1",
            "",
            choice ? field.choices : "",
            "",
        };
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (i > 0) {
                list.push_back(kQueryItemSeparator);
            }
            list += items[i];
        }
    }
    return list;
}

std::vector<QueryField> parseQueryFieldList(std::string_view list)
{
    std::vector<QueryField> fields;
    if (list.empty()) {
        return fields;
    }
    for (const std::string_view record : split(list, kQueryRecordSeparator)) {
        const auto items = split(record, kQueryItemSeparator);
        if (items.size() < 10) {
            continue;
        }
        const int type = toInt(items[5]);
        if (type < 1 || type > 3) {
            continue;
        }
        QueryField field;
        field.description = std::string{items[0]};
        field.label = std::string{items[2]};
        field.picture = std::string{items[3]};
        field.size = toInt(items[4]);
        field.type = static_cast<FieldType>(type);
        field.choices = std::string{items[8]};
        fields.push_back(std::move(field));
    }
    return fields;
}

std::vector<QueryField> queryFieldsOf(const RecordSchema& schema)
{
    std::vector<QueryField> fields;
    for (const FieldDef& def : schema.fields()) {
        fields.push_back({std::string{def.description}, std::string{def.label},
                          std::string{def.picture}, def.size, def.type, std::string{def.choices}});
    }
    return fields;
}

std::string_view queryEditorText(int number)
{
    for (const auto& [n, text] : kEditorTexts) {
        if (n == number) {
            return text;
        }
    }
    return {};
}

} // namespace tessaly

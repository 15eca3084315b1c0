#include "core/table_def.h"

#include "framework/text.h"

namespace tessaly {

std::string_view TableDef::column(int field) const
{
    const std::string_view fieldLabel = schema->fields()[static_cast<std::size_t>(field)].label;
    const auto colon = fieldLabel.find(':');
    return colon == std::string_view::npos ? fieldLabel : fieldLabel.substr(colon + 1);
}

bool TableDef::isText(int field) const
{
    return schema->fields()[static_cast<std::size_t>(field)].isText();
}

int TableDef::width(int field) const
{
    return schema->fields()[static_cast<std::size_t>(field)].size;
}

bool TableDef::isFolded(int field) const
{
    if (!isText(field)) {
        return false;
    }
    for (const KeyDef& key : keys) {
        if (!key.noCase) {
            continue;
        }
        for (const KeyComponent& component : key.components) {
            if (component.field == field) {
                return true;
            }
        }
    }
    return false;
}

std::string TableDef::foldedColumn(int field) const
{
    return std::string{column(field)} + "_nocase";
}

int TableDef::keyIndex(std::string_view name) const
{
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::string keyLabel = std::string{prefix()} + ":" + std::string{keys[i].name};
        if (text::equalNoCase(name, keys[i].name) || text::equalNoCase(name, keyLabel)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace tessaly

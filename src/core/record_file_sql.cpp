#include "core/record_file_sql.h"

#include "core/sqlite.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tessaly::detail {

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string{"."} : path.substr(0, slash + 1);
}

} // namespace

bool canWrite(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && ::access(path.c_str(), W_OK) != 0) {
        return false;
    }
    return ::access(folderOf(path).c_str(), W_OK) == 0;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        out += parts[i];
    }
    return out;
}

std::string keyColumns(const TableDef& table, const KeyDef& key, bool forward)
{
    std::vector<std::string> parts;
    for (const KeyComponent& component : key.components) {
        std::string part = sql::quoteName(table.column(component.field));
        if (key.noCase && table.isText(component.field)) {
            part += " COLLATE " + std::string{sql::kNoCase};
        }
        if (component.descending == forward) {
            part += " DESC";
        }
        parts.push_back(std::move(part));
    }
    return joined(parts, ", ");
}

std::string indexName(const TableDef& table, const KeyDef& key)
{
    return std::string{table.table} + "_" + std::string{key.name};
}

std::string componentExpression(const TableDef& table, const KeyDef& key, int field)
{
    std::string expression = sql::quoteName(table.column(field));
    if (key.noCase && table.isText(field)) {
        expression += " COLLATE " + std::string{sql::kNoCase};
    }
    return expression;
}

} // namespace tessaly::detail

#include "core/record_file_sql.h"

#include "core/sqlite.h"
#include "framework/text.h"

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
        std::string part = componentExpression(table, key, component.field);
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
    // Plain binary columns keep the files readable by every SQLite tool: a
    // collation of ours in an index would make them refuse the file.
    if (key.noCase && table.isText(field)) {
        return sql::quoteName(table.foldedColumn(field));
    }
    return sql::quoteName(table.column(field));
}

void bindComponent(sql::Statement& statement, int index, const TableDef& table, const KeyDef& key,
                   const Record& record, int field)
{
    if (!table.isText(field)) {
        statement.bind(index, record.number(field));
    } else if (key.noCase) {
        statement.bind(index, text::foldKey(record.text(field)));
    } else {
        statement.bind(index, record.text(field));
    }
}

int bindRecord(sql::Statement& statement, const TableDef& table, const Record& record)
{
    int index = 1;
    for (int field = 0; field < table.fieldCount(); ++field) {
        if (table.isText(field)) {
            statement.bind(index++, record.text(field));
        } else {
            statement.bind(index++, record.number(field));
        }
    }
    for (int field = 0; field < table.fieldCount(); ++field) {
        if (table.isFolded(field)) {
            statement.bind(index++, text::foldKey(record.text(field)));
        }
    }
    return index;
}

std::vector<std::string> storedColumnNames(const TableDef& table)
{
    std::vector<std::string> names;
    for (int field = 0; field < table.fieldCount(); ++field) {
        names.emplace_back(table.column(field));
    }
    for (int field = 0; field < table.fieldCount(); ++field) {
        if (table.isFolded(field)) {
            names.push_back(table.foldedColumn(field));
        }
    }
    return names;
}

} // namespace tessaly::detail

// The fields a record file's reads fetch: every field, or the few a long
// scan asks for.
#include "core/record_file.h"

#include "core/record_file_sql.h"
#include "core/sqlite.h"

#include <algorithm>

namespace tessaly {

std::string RecordFile::selectList() const
{
    return selectList({});
}

std::string RecordFile::selectList(const std::vector<int>& fields) const
{
    std::string list = "SELECT rowid";
    const std::size_t count =
        fields.empty() ? static_cast<std::size_t>(table_.fieldCount()) : fields.size();
    for (std::size_t i = 0; i < count; ++i) {
        const int field = fields.empty() ? static_cast<int>(i) : fields[i];
        list += ", " + sql::quoteName(table_.column(field));
    }
    return list + " FROM " + qualifiedName();
}

void RecordFile::readRow(sql::Statement& statement, const std::vector<int>& fields,
                         Record& out) const
{
    if (fields.empty()) {
        readRow(statement, out);
        return;
    }
    out.position = statement.integer(0);
    // A field not read is left blank, as a record read whole would show it;
    // it is written only when it holds something, as it seldom does.
    const auto blank = [&out](int field) {
        if (!out.text(field).empty()) {
            out.setText(field, {});
        }
        if (out.number(field) != 0) {
            out.setNumber(field, 0);
        }
    };
    // `fields` is in field order: the columns of the statement, in turn.
    int field = 0;
    int column = 1;
    for (const int wanted : fields) {
        for (; field < wanted; ++field) {
            blank(field);
        }
        if (table_.isText(field)) {
            out.setText(field, statement.text(column));
        } else {
            out.setNumber(field, statement.integer(column));
        }
        ++field;
        ++column;
    }
    for (; field < table_.fieldCount(); ++field) {
        blank(field);
    }
}

void RecordFile::setFields(std::vector<int> fields)
{
    std::erase_if(fields, [this](int field) { return field < 0 || field >= table_.fieldCount(); });
    std::sort(fields.begin(), fields.end());
    fields.erase(std::unique(fields.begin(), fields.end()), fields.end());
    fields_ = std::move(fields);
}

// What a scan in `key`'s order reads: the fields asked for and the key's
// own (the place a scan resumes from is a key value), or every field.
std::vector<int> RecordFile::scanFields(int key) const
{
    if (fields_.empty() || filter_) {
        return {};
    }
    std::vector<int> fields = fields_;
    if (key >= 0) {
        for (const KeyComponent& component :
             table_.keys[static_cast<std::size_t>(key)].components) {
            fields.push_back(component.field);
        }
    }
    std::sort(fields.begin(), fields.end());
    fields.erase(std::unique(fields.begin(), fields.end()), fields.end());
    if (static_cast<int>(fields.size()) == table_.fieldCount()) {
        return {};
    }
    return fields;
}

void RecordFile::readRow(sql::Statement& statement, Record& out) const
{
    out.position = statement.integer(0);
    for (int field = 0; field < table_.fieldCount(); ++field) {
        if (table_.isText(field)) {
            out.setText(field, statement.text(field + 1));
        } else {
            out.setNumber(field, statement.integer(field + 1));
        }
    }
}

} // namespace tessaly

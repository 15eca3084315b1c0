#pragma once

#include "framework/query_fields.h"

#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// The operators the query editor offers, numbered as its display texts
// (queryEditorText(1) is "Is Equal To" ... 12 "Is NOT Checked").
enum class QueryOperator {
    Equal = 1,
    NotEqual,
    Greater,
    Less,
    GreaterOrEqual,
    LessOrEqual,
    BeginsWith,
    Contains,
    NotBeginsWith,
    NotContains,
    Checked,
    NotChecked,
};

// One line of a query: a field, an operator and the value typed, joined to
// the line before by AND or OR.
struct QueryCondition {
    std::string label; // the field's label ("URL:Category")
    QueryOperator op = QueryOperator::Equal;
    std::string value;
    bool orWithPrevious = false;
};

// Turns conditions into a filter text of the record-expression language.
// Texts compare without regard to letter case; numbers as numbers; dates
// typed under the field's date picture become day numbers; a choice field
// takes the position of the chosen text in its list. Empty when a condition
// names an unknown field or holds a value its field cannot take (`problem`
// then says which).
std::string buildQueryFilter(const std::vector<QueryCondition>& conditions,
                             const std::vector<QueryField>& fields, std::string* problem = nullptr,
                             int todayYear = 2026);

// Queries saved under a tag ("URL", "LINKS", "EXPORT") in an INI file of the
// data folder, one entry per query name.
class SavedQueries final {
public:
    explicit SavedQueries(std::string path) : path_(std::move(path)) {}

    std::vector<std::string> names(const std::string& tag) const;
    std::optional<std::string> filter(const std::string& tag, const std::string& name) const;
    // False with the system's text when the file cannot be written.
    bool save(const std::string& tag, const std::string& name, const std::string& filter,
              std::string* errorText = nullptr);
    bool remove(const std::string& tag, const std::string& name, std::string* errorText = nullptr);

private:
    std::string path_;
};

} // namespace tessaly

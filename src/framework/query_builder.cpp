#include "framework/query_builder.h"

#include "framework/ini_file.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/utf8.h"

namespace tessaly {

namespace {

std::string quoted(std::string_view value)
{
    std::string out = "'";
    for (const char c : value) {
        out += c;
        if (c == '\'') {
            out += '\''; // a quote inside a text constant is written twice
        }
    }
    return out + "'";
}

const char* comparison(QueryOperator op)
{
    switch (op) {
    case QueryOperator::NotEqual:
        return " <> ";
    case QueryOperator::Greater:
        return " > ";
    case QueryOperator::Less:
        return " < ";
    case QueryOperator::GreaterOrEqual:
        return " >= ";
    case QueryOperator::LessOrEqual:
        return " <= ";
    default:
        return " = ";
    }
}

// The number a value stands for in a numeric field, or nothing.
std::optional<double> numberFor(const QueryField& field, const std::string& value, int todayYear)
{
    if (field.type == FieldType::Choice) {
        std::string_view choices = field.choices;
        for (double index = 0; !choices.empty(); ++index) {
            const auto bar = choices.find('|');
            if (text::equalNoCase(choices.substr(0, bar), text::trim(value))) {
                return index;
            }
            choices = bar == std::string_view::npos ? std::string_view{} : choices.substr(bar + 1);
        }
        return parseNumber(value);
    }
    const Picture picture = Picture::parse(field.picture);
    if (picture.kind == Picture::Kind::Date) {
        const std::int32_t day = parseDate(value, picture, todayYear);
        return day != 0 ? std::optional<double>{day} : parseNumber(value);
    }
    return parseNumber(value);
}

std::string numberText(double value)
{
    const auto whole = static_cast<long long>(value);
    return static_cast<double>(whole) == value ? std::to_string(whole) : std::to_string(value);
}

} // namespace

std::string buildQueryFilter(const std::vector<QueryCondition>& conditions,
                             const std::vector<QueryField>& fields, std::string* problem,
                             int todayYear)
{
    std::string filter;
    auto fail = [&](std::string what) {
        if (problem != nullptr) {
            *problem = std::move(what);
        }
        return std::string{};
    };
    for (const QueryCondition& c : conditions) {
        const QueryField* field = nullptr;
        for (const QueryField& f : fields) {
            if (text::equalNoCase(f.label, c.label)) {
                field = &f;
            }
        }
        if (field == nullptr) {
            return fail("unknown field " + c.label);
        }
        const std::string& label = field->label;
        std::string term;
        if (c.op == QueryOperator::Checked || c.op == QueryOperator::NotChecked) {
            term = label + (c.op == QueryOperator::Checked ? " <> 0" : " = 0");
        } else if (field->type == FieldType::Text) {
            const std::string value = text::upper(text::clip(c.value));
            const std::string upperField = "UPPER(" + label + ")";
            const std::string length = std::to_string(utf8::length(value));
            switch (c.op) {
            case QueryOperator::BeginsWith:
            case QueryOperator::NotBeginsWith:
                term = "SUB(" + upperField + ", 1, " + length + ")" +
                       (c.op == QueryOperator::BeginsWith ? " = " : " <> ") + quoted(value);
                break;
            case QueryOperator::Contains:
            case QueryOperator::NotContains:
                term = "INSTRING(" + quoted(value) + ", " + upperField + ", 1, 1)" +
                       (c.op == QueryOperator::Contains ? " > 0" : " = 0");
                break;
            default:
                term = upperField + comparison(c.op) + quoted(value);
                break;
            }
        } else {
            if (c.op >= QueryOperator::BeginsWith) {
                return fail(field->description + " is no text");
            }
            const auto number = numberFor(*field, c.value, todayYear);
            if (!number) {
                return fail("\"" + c.value + "\" is no value for " + field->description);
            }
            term = label + comparison(c.op) + numberText(*number);
        }
        if (!filter.empty()) {
            filter += c.orWithPrevious ? " OR " : " AND ";
        }
        filter += term;
    }
    return filter;
}

std::vector<std::string> SavedQueries::names(const std::string& tag) const
{
    IniFile ini;
    ini.load(path_);
    return ini.keys(tag);
}

std::optional<std::string> SavedQueries::filter(const std::string& tag,
                                                const std::string& name) const
{
    IniFile ini;
    ini.load(path_);
    return ini.value(tag, name);
}

bool SavedQueries::save(const std::string& tag, const std::string& name, const std::string& filter,
                        std::string* errorText)
{
    const std::string_view clean = text::trim(name);
    if (clean.empty() || clean.find('=') != std::string_view::npos || clean.front() == '[') {
        if (errorText != nullptr) {
            *errorText = "A query name must not be blank, hold \"=\" or begin with \"[\".";
        }
        return false;
    }
    return writeIniValue(path_, tag, name, filter, errorText);
}

bool SavedQueries::remove(const std::string& tag, const std::string& name, std::string* errorText)
{
    IniFile ini;
    if (!ini.load(path_, errorText)) {
        return false;
    }
    ini.removeKey(tag, name);
    return ini.save(path_, errorText);
}

} // namespace tessaly

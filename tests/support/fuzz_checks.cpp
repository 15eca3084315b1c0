#include "fuzz_checks.h"

#include "framework/expression.h"
#include "framework/ini_file.h"
#include "framework/record_schema.h"
#include "framework/utf8.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace tessaly {

namespace {

void require(bool condition, const char* what, std::string_view input)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\ninput: %.*s\n", what,
                     static_cast<int>(input.size()), input.data());
        std::abort();
    }
}

constexpr std::array<FieldDef, 4> kFields = {{
    {"URL:Location", "Location", "@s255", 255, FieldType::Text},
    {"URL:Description", "Description", "@s255", 255, FieldType::Text},
    {"URL:Rating", "Rating", "@N2", 2, FieldType::Number},
    {"URL:LastVisit", "Last visit", "@d17", 4, FieldType::Number},
}};
constexpr RecordSchema kSchema{"URL", kFields};

struct Record final : FieldSource {
    Value field(int index) const override
    {
        switch (index) {
        case 0:
            return Value::view("http://example.com/Ünïcode");
        case 1:
            return Value::view("A site   ");
        case 2:
            return Value::number(5);
        default:
            return Value::number(83000);
        }
    }
};

void checkError(const ExpressionError& error, std::string_view input)
{
    require(!error.message.empty(), "an error says what is wrong", input);
    require(error.position >= 1 && error.position <= utf8::length(input) + 1,
            "an error points into the text", input);
}

} // namespace

void checkExpressionText(std::string_view input)
{
    const SchemaResolver resolver{kSchema};
    const Record record;
    const Expression expression = Expression::compile(input, resolver);
    if (expression.ok()) {
        (void)expression.matches(record);
        (void)expression.evaluate(record).toText();
    } else {
        checkError(expression.error(), input);
    }
    const SortOrder order = SortOrder::compile(input, resolver);
    if (order.ok()) {
        const auto key = order.key(record);
        require(order.compare(key, key) == 0, "a key equals itself", input);
    } else {
        checkError(order.error(), input);
    }
}

void checkIniText(std::string_view input)
{
    IniFile ini;
    ini.parse(input);
    const std::string once = ini.text();
    IniFile again;
    again.parse(once);
    require(again.text() == once, "a written file reads back the same", input);
    again.setValue("Fuzz", "Key:1", "value");
    require(again.value("fuzz", "key:1") == "value", "a value set reads back", input);
    for (const std::string& section : ini.sections()) {
        for (const std::string& key : ini.keys(section)) {
            require(ini.value(section, key).has_value(), "every listed key has a value", input);
        }
    }
}

std::string mutateInput(std::string input, std::mt19937& random, std::string_view alphabet,
                        std::size_t limit)
{
    const int edits = 1 + static_cast<int>(random() % 6);
    for (int i = 0; i < edits; ++i) {
        const std::size_t at = input.empty() ? 0 : random() % (input.size() + 1);
        switch (random() % 4) {
        case 0:
            input.insert(at, 1, alphabet[random() % alphabet.size()]);
            break;
        case 1:
            if (!input.empty() && at < input.size()) {
                input.erase(at, 1 + random() % 4);
            }
            break;
        case 2:
            if (!input.empty() && at < input.size()) {
                input[at] = static_cast<char>(random() % 256);
            }
            break;
        default:
            input.insert(at, input.substr(0, random() % (input.size() + 1)));
            if (input.size() > limit) {
                input.resize(limit);
            }
            break;
        }
    }
    return input;
}

} // namespace tessaly

#include "vocabulary.h"

#include "framework/text.h"
#include "reports/report_definition.h"

#include <array>

namespace tessaly::cli {

namespace {

struct OrderWords {
    BookmarkKey key;
    std::string_view name;  // what list has always taken
    std::string_view alias; // export's word for the same order, if any
    std::string_view field; // the field the order sorts by first
};

// In key order, so that the report design's orders (also in key order) and
// the keys' own headings line up with them.
constexpr std::array<OrderWords, 6> kOrders = {{
    {BookmarkKey::Location, "location", "", "Location"},
    {BookmarkKey::Description, "description", "", "Description"},
    {BookmarkKey::Category, "category", "catdesc", "Category"},
    {BookmarkKey::CategoryLocation, "catloc", "", ""},
    {BookmarkKey::Rating, "rating", "", "Rating"},
    {BookmarkKey::Keyword, "keyword", "", "Keyword"},
}};

constexpr std::string_view kFieldPrefix = "URL:";

std::string_view withoutPrefix(std::string_view spelling)
{
    const std::string_view trimmed = text::trim(spelling);
    return text::startsWithNoCase(trimmed, kFieldPrefix) ? trimmed.substr(kFieldPrefix.size())
                                                         : trimmed;
}

// The heading the lists and reports give `field`, empty when it has none.
std::string_view headingOf(int field)
{
    for (const ReportColumn& column : designColumns()) {
        if (column.field == field) {
            return column.header;
        }
    }
    return {};
}

std::string_view orderHeading(BookmarkKey key)
{
    return bookmarkTable().keys[static_cast<std::size_t>(key)].description;
}

} // namespace

std::optional<BookmarkKey> orderNamed(std::string_view spelling)
{
    const std::string_view trimmed = text::trim(spelling);
    const std::string_view bare = withoutPrefix(spelling);
    for (const OrderWords& order : kOrders) {
        if (text::equalNoCase(trimmed, order.name) ||
            (!order.alias.empty() && text::equalNoCase(trimmed, order.alias)) ||
            text::equalNoCase(trimmed, orderHeading(order.key)) ||
            (!order.field.empty() && text::equalNoCase(bare, order.field))) {
            return order.key;
        }
    }
    return std::nullopt;
}

int bookmarkFieldNamed(std::string_view spelling)
{
    const std::string_view trimmed = text::trim(spelling);
    const std::string_view bare = withoutPrefix(spelling);
    const TableDef& table = bookmarkTable();
    for (int field = 0; field < table.fieldCount(); ++field) {
        const std::string_view heading = headingOf(field);
        if (text::equalNoCase(bare, table.column(field)) ||
            (!heading.empty() && text::equalNoCase(trimmed, heading))) {
            return field;
        }
    }
    return -1;
}

std::string orderSpellings()
{
    std::string words = "ORDER is one of";
    for (const OrderWords& order : kOrders) {
        words += std::string{&order == kOrders.data() ? " " : ", "} + std::string{order.name};
        if (!order.alias.empty()) {
            words += " or " + std::string{order.alias};
        }
        if (!text::equalNoCase(orderHeading(order.key), order.name)) {
            words += " (\"" + std::string{orderHeading(order.key)} + "\")";
        }
    }
    return words + "; letter case does not count";
}

std::string fieldSpellings()
{
    std::string words = "FIELD is a field's name, with or without URL:, or its heading:";
    const TableDef& table = bookmarkTable();
    for (int field = 0; field < table.fieldCount(); ++field) {
        words += std::string{field == 0 ? " " : ", "} + std::string{table.column(field)};
        const std::string_view heading = headingOf(field);
        if (!heading.empty() && !text::equalNoCase(heading, table.column(field))) {
            words += " (\"" + std::string{heading} + "\")";
        }
    }
    return words + "; letter case does not count";
}

} // namespace tessaly::cli

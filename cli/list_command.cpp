#include "list_command.h"

#include "framework/utf8.h"

#include "core/tables.h"
#include "dispatcher.h"
#include "field_escape.h"
#include "framework/expression.h"
#include "framework/text.h"
#include "options.h"

#include "session.h"
#include "vocabulary.h"

#include <optional>

namespace tessaly::cli {

namespace {

void writeRow(std::ostream& out, const std::vector<std::string>& fields, bool csv)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out << (csv ? ',' : '\t');
        }
        out << (csv ? csvField(fields[i]) : tsvField(fields[i]));
    }
    out << '\n';
}

std::vector<std::string> fieldsOf(const Record& record)
{
    std::vector<std::string> fields;
    const TableDef& table = record.table();
    for (int field = 0; field < table.fieldCount(); ++field) {
        fields.push_back(table.isText(field) ? record.text(field)
                                             : std::to_string(record.number(field)));
    }
    return fields;
}

std::vector<std::string> labelsOf(const TableDef& table)
{
    std::vector<std::string> labels;
    for (const FieldDef& field : table.schema->fields()) {
        labels.emplace_back(field.label);
    }
    return labels;
}

// The fields of --columns in its order, or every field in record order
// without it; a name that is no field gives the problem to report.
std::vector<int> chosenFields(const TableDef& table, const std::optional<std::string>& columns,
                              std::string& problem)
{
    std::vector<int> fields;
    if (!columns) {
        for (int field = 0; field < table.fieldCount(); ++field) {
            fields.push_back(field);
        }
        return fields;
    }
    std::string_view rest = *columns;
    for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string_view name = text::trim(rest.substr(0, comma));
        const int field = bookmarkFieldNamed(name);
        if (field < 0) {
            problem = name.empty() ? std::string{"a column name is missing in --columns"}
                                   : "unknown column " + std::string{name};
            problem += "; the columns are ";
            const std::vector<std::string> labels = labelsOf(table);
            for (std::size_t i = 0; i < labels.size(); ++i) {
                problem += (i > 0 ? ", " : "") + labels[i];
            }
            return {};
        }
        fields.push_back(field);
        if (comma == std::string_view::npos) {
            return fields;
        }
        rest.remove_prefix(comma + 1);
    }
}

std::vector<std::string> only(const std::vector<std::string>& all, const std::vector<int>& fields)
{
    std::vector<std::string> chosen;
    chosen.reserve(fields.size());
    for (const int field : fields) {
        chosen.push_back(all[static_cast<std::size_t>(field)]);
    }
    return chosen;
}

} // namespace

std::string ListCommand::usageNotes() const
{
    return orderSpellings() + "\n" + fieldSpellings();
}

int ListCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    const Options options =
        parseOptions(arguments, {"order", "query", "format", "columns"}, {"show-passwords"});
    const bool showPasswords = options.has("show-passwords");
    const std::string order = options.get("order").value_or("location");
    const std::string format = options.get("format").value_or("tsv");
    const std::optional<BookmarkKey> key = orderNamed(order);
    std::string problem = options.error;
    if (problem.empty() && !options.positional.empty()) {
        problem = "unexpected " + options.positional[0];
    } else if (problem.empty() && !key) {
        problem = "unknown order " + order;
    } else if (problem.empty() && format != "tsv" && format != "csv") {
        problem = "unknown format " + format;
    }
    const std::vector<int> fields =
        problem.empty() ? chosenFields(bookmarkTable(), options.get("columns"), problem)
                        : std::vector<int>{};
    if (!problem.empty()) {
        return usageError(problem, context);
    }
    std::shared_ptr<const Expression> filter;
    if (!queryFilter(options, name(), context.err, filter)) {
        return kExitUsage;
    }
    Session session{context};
    if (!session.start()) {
        return kExitFailure;
    }
    FileManager& bookmarks = session.database().bookmarks();
    if (bookmarks.use() != kLevelDone) {
        return kExitFailure;
    }
    const bool csv = format == "csv";
    writeRow(context.out, only(labelsOf(bookmarkTable()), fields), csv);
    RecordFile& file = bookmarks.file();
    file.setFilter(filter);
    file.send("QUICKSCAN=on");
    file.set(static_cast<int>(*key));
    Record record{bookmarkTable()};
    // Stop at the first row that cannot be written: the rest would only
    // fill a full disk further.
    while (context.out && file.next(record).ok()) {
        if (!showPasswords) {
            // Listings end up in files, mails and terminals' scroll-back;
            // the sites' passwords leave only when asked for.
            record.setText(BookmarkField::Password, "");
        }
        writeRow(context.out, only(fieldsOf(record), fields), csv);
    }
    const EngineStatus status = file.status();
    file.send("QUICKSCAN=off");
    bookmarks.close();
    if (!context.out) {
        return kExitFailure; // the dispatcher says why
    }
    if (status.code != kNoMoreRecords) {
        context.err << "tessaly-cli list: reading stopped: " << status.text << '\n';
        return kExitFailure;
    }
    return kExitOk;
}

int RowsCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    const Options options = parseOptions(arguments, {});
    if (!options.error.empty()) {
        return usageError(options.error, context);
    }
    if (options.positional.size() > 1) {
        return usageError("give at most one location", context);
    }
    std::vector<std::string> locations;
    for (const std::string& location : options.positional) {
        locations.push_back(utf8::valid(location)); // as the stored text was read
    }
    Session session{context};
    if (!session.start()) {
        return kExitFailure;
    }
    FileManager& rows = details_ ? session.database().details() : session.database().keywords();
    if (rows.use() != kLevelDone) {
        return kExitFailure;
    }
    RecordFile& file = rows.file();
    Record record{rows.table()};
    const bool one = !locations.empty();
    if (one) {
        Record start{rows.table()};
        start.setText(0, locations[0]);
        file.set(0, start);
    } else {
        file.set(0);
    }
    writeRow(context.out, labelsOf(rows.table()), false);
    while (context.out && file.next(record).ok()) {
        if (one && !text::equalNoCase(record.text(0), locations[0])) {
            break;
        }
        writeRow(context.out, fieldsOf(record), false);
    }
    const EngineStatus status = file.status();
    rows.close();
    if (!context.out) {
        return kExitFailure; // the dispatcher says why
    }
    // A damaged file must not read as a short one.
    if (!status.ok() && status.code != kNoMoreRecords) {
        context.err << "tessaly-cli " << name() << ": reading stopped: " << status.text << '\n';
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace tessaly::cli

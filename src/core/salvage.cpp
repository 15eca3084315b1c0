#include "core/salvage.h"

#include "core/record.h"
#include "core/record_file.h"
#include "framework/text.h"

#include <limits>

namespace tessaly {

namespace {

constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kHighest = std::numeric_limits<std::int64_t>::max();

// What a seek to a rowid found: the first rowid at or after it, the end of
// the table, or a page that could not be read on the way.
struct Probe {
    enum Kind { Row, End, Unreadable } kind = End;
    std::int64_t rowid = 0;
};

class TableReader final {
public:
    TableReader(sql::Connection& damaged, const TableDef& table, std::string columnList)
        : probe_(damaged, "SELECT rowid FROM main." + sql::quoteName(table.table) +
                              " WHERE rowid >= ? ORDER BY rowid LIMIT 1"),
          scanSql_("SELECT rowid, " + columnList + " FROM main." + sql::quoteName(table.table) +
                   " WHERE rowid >= ? ORDER BY rowid"),
          damaged_(damaged)
    {}

    Probe probe(std::int64_t from)
    {
        probe_.bind(1, from);
        EngineStatus status;
        Probe result;
        if (probe_.step(status)) {
            result = {Probe::Row, probe_.integer(0)};
        } else {
            result.kind = status.ok() ? Probe::End : Probe::Unreadable;
        }
        probe_.reset();
        return result;
    }

    // The first place after `after` where a seek succeeds again: rowids in
    // a damaged leaf fail, those past it land on the next readable page.
    std::optional<std::int64_t> nextReadable(std::int64_t after)
    {
        std::int64_t failing = after;
        std::int64_t step = 1;
        std::int64_t good = 0;
        for (;;) {
            const std::int64_t at = failing > kHighest - step ? kHighest : failing + step;
            const Probe found = probe(at);
            if (found.kind != Probe::Unreadable) {
                good = at;
                break;
            }
            if (at == kHighest) {
                return std::nullopt; // nothing readable after the damage
            }
            failing = at;
            step = step > kHighest / 2 ? kHighest : step * 2;
        }
        while (good - failing > 1) {
            const std::int64_t middle = failing + (good - failing) / 2;
            (probe(middle).kind == Probe::Unreadable ? failing : good) = middle;
        }
        return good;
    }

    sql::Statement scan(std::int64_t from)
    {
        sql::Statement statement{damaged_, scanSql_};
        statement.bind(1, from);
        return statement;
    }

private:
    sql::Statement probe_;
    std::string scanSql_;
    sql::Connection& damaged_;
};

// The stored columns of a table that match declared fields, by name.
struct ColumnMap {
    std::vector<int> fields; // field number of each selected column
    std::string selectList;  // quoted names
};

ColumnMap mapColumns(sql::Connection& damaged, const TableDef& table, EngineStatus& status)
{
    ColumnMap map;
    sql::Statement info{damaged, "PRAGMA main.table_info(" + sql::quoteName(table.table) + ")"};
    while (info.step(status)) {
        const std::string column{info.text(1)};
        for (int field = 0; field < table.fieldCount(); ++field) {
            if (text::equalNoCase(column, table.column(field))) {
                map.fields.push_back(field);
                map.selectList += (map.selectList.empty() ? "" : ", ") + sql::quoteName(column);
            }
        }
    }
    return map;
}

} // namespace

SalvageReport salvageRows(sql::Connection& damaged, const std::vector<const TableDef*>& tables,
                          Engine& fresh, const std::string& containerName,
                          const std::function<bool()>& cancelled)
{
    SalvageReport report;
    for (const TableDef* table : tables) {
        RecordFile target{fresh, *table};
        if (table->container.empty()) {
            target.setContainer(containerName);
        }
        report.status = target.create();
        if (report.status.ok()) {
            report.status = target.open();
        }
        if (!report.status.ok()) {
            return report;
        }
        EngineStatus status;
        const ColumnMap columns = mapColumns(damaged, *table, status);
        if (columns.fields.empty()) {
            if (!status.ok()) {
                report.unreadableTables.emplace_back(table->table);
            }
            continue; // a table the file never had starts empty
        }
        report.anythingRead = true;
        TableReader reader{damaged, *table, columns.selectList};
        std::int64_t copied = 0;
        bool damagedTable = false;
        fresh.begin();
        std::int64_t from = kLowest;
        while (!report.cancelled) {
            sql::Statement scan = reader.scan(from);
            std::optional<std::int64_t> lastRead;
            while (scan.step(status)) {
                Record row{*table};
                for (std::size_t i = 0; i < columns.fields.size(); ++i) {
                    const int column = static_cast<int>(i) + 1;
                    if (table->isText(columns.fields[i])) {
                        row.setText(columns.fields[i], scan.text(column));
                    } else {
                        row.setNumber(columns.fields[i], scan.integer(column));
                    }
                }
                lastRead = scan.integer(0);
                const EngineStatus added = target.add(row);
                if (added.code == kDuplicateKey) {
                    ++report.duplicates;
                } else if (!added.ok()) {
                    fresh.rollback();
                    report.status = added;
                    return report;
                } else {
                    ++copied;
                }
                if (cancelled && cancelled()) {
                    report.cancelled = true;
                    break;
                }
            }
            if (status.ok() || report.cancelled) {
                break;
            }
            damagedTable = true;
            report.passedDamage = true;
            const std::int64_t after = lastRead ? *lastRead : (from == kLowest ? from : from - 1);
            const Probe here = after == kHighest ? Probe{} : reader.probe(after + 1);
            if (here.kind == Probe::End) {
                break;
            }
            if (here.kind == Probe::Row && !lastRead && here.rowid == from) {
                // The row's place reads but its content does not: only it is
                // lost.
                ++report.lostRows;
                if (here.rowid == kHighest) {
                    break;
                }
                from = here.rowid + 1;
                continue;
            }
            if (here.kind == Probe::Row) {
                from = here.rowid;
                continue;
            }
            const std::optional<std::int64_t> next = reader.nextReadable(after);
            if (!next) {
                break;
            }
            from = *next;
        }
        if (const EngineStatus committed = fresh.commit(); !committed.ok()) {
            report.status = committed;
            return report;
        }
        if (damagedTable && copied == 0) {
            report.unreadableTables.emplace_back(table->table);
        }
        report.rows += copied;
        target.close();
        if (report.cancelled) {
            break;
        }
    }
    return report;
}

} // namespace tessaly

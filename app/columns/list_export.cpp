#include "columns/list_export.h"

#include "export/export_output.h"
#include "framework/html_text.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <QAbstractItemModel>
#include <QHeaderView>

#include <algorithm>

namespace tessaly::gui {

namespace {

constexpr std::size_t kWidestColumn = 255;

// A cell's text on one line: a line break in a note would split the row.
std::string cellText(const QAbstractItemModel& model, int row, int column)
{
    std::string text = model.index(row, column).data(Qt::DisplayRole).toString().toStdString();
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return text;
}

std::string headingText(const QAbstractItemModel& model, int column)
{
    return model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().toStdString();
}

void writeAscii(const QAbstractItemModel& model, const std::vector<int>& columns, ExportOutput& out)
{
    std::vector<std::size_t> widths;
    for (const int column : columns) {
        std::size_t width = utf8::length(headingText(model, column));
        for (int row = 0; row < model.rowCount(); ++row) {
            width = std::max(width, utf8::length(cellText(model, row, column)));
        }
        widths.push_back(std::min(width, kWidestColumn));
    }
    const auto line = [&](const auto& textOf) {
        std::string text;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            text += (i == 0 ? "" : " ") + text::padded(textOf(columns[i]), widths[i]);
        }
        out.line(text);
    };
    line([&](int column) { return headingText(model, column); });
    std::string rule;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        rule += (i == 0 ? "" : " ") + std::string(std::max<std::size_t>(widths[i], 1), '-');
    }
    out.line(rule);
    for (int row = 0; row < model.rowCount() && out.error().ok(); ++row) {
        line([&](int column) { return cellText(model, row, column); });
    }
}

void writeHtml(const QAbstractItemModel& model, const std::vector<int>& columns,
               const std::string& title, ExportOutput& out)
{
    out.line("<!DOCTYPE html>");
    out.line("<html><head><meta charset=\"utf-8\"><title>" + html::escape(title) + "</title>");
    out.line("<style>table{border-collapse:collapse}th,td{border:1px solid #bbb;"
             "padding:2px 6px;text-align:left;vertical-align:top}</style></head><body>");
    out.line("<h1>" + html::escape(title) + "</h1>");
    out.line("<table>");
    std::string row = "<tr>";
    for (const int column : columns) {
        row += "<th>" + html::escape(headingText(model, column)) + "</th>";
    }
    out.line(row + "</tr>");
    for (int r = 0; r < model.rowCount() && out.error().ok(); ++r) {
        row = "<tr>";
        for (const int column : columns) {
            row += "<td>" + html::escape(cellText(model, r, column)) + "</td>";
        }
        out.line(row + "</tr>");
    }
    out.line("</table></body></html>");
}

} // namespace

std::vector<int> shownColumns(const QHeaderView& header)
{
    std::vector<int> columns;
    for (int visual = 0; visual < header.count(); ++visual) {
        const int logical = header.logicalIndex(visual);
        if (!header.isSectionHidden(logical)) {
            columns.push_back(logical);
        }
    }
    return columns;
}

bool writeList(const QAbstractItemModel& model, const QHeaderView& header, const QString& title,
               const std::string& path, bool html, std::string* error)
{
    ExportOutputs outputs;
    ExportOutput* out = outputs.create(path, false); // opened, or its error kept
    SystemResult result = out->error();
    if (result.ok()) {
        const std::vector<int> columns = shownColumns(header);
        if (html) {
            writeHtml(model, columns, title.toStdString(), *out);
        } else {
            writeAscii(model, columns, *out);
        }
        result = outputs.finishAll();
    }
    if (result.ok()) {
        result = outputs.commitAll();
    }
    if (!result.ok()) {
        outputs.discardAll();
        if (error != nullptr) {
            *error = result.text;
        }
        return false;
    }
    return true;
}

} // namespace tessaly::gui

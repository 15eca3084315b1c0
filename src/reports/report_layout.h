#pragma once

#include "reports/report_definition.h"
#include "reports/report_spool.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

class Record;
struct TableDef;

// The lines a cell takes in a column `width` places wide (a Chinese,
// Japanese or Korean character takes two places): wrapped at
// the last blank that leaves half a line, else at the width, and at most
// `maxLines` lines, the last ending in "…" when text remains; one line
// cut the same way for Overflow::Elide; every character on as many lines as
// it takes for Overflow::Whole. Control characters print as blanks.
std::vector<std::string> cellLines(std::string_view text, int width, Overflow overflow,
                                   int maxLines);

// Whether field `field` of `table` holds text (else a number, a date or a
// choice, which a report never cuts).
bool isTextField(const TableDef& table, int field);

// A field of a record as a report prints it: texts as stored, numbers and
// dates through the field's display picture, choices as their choice text.
std::string cellText(const Record& record, int field);

struct LayoutSetup {
    PageSize page;           // portrait; a landscape report turns it
    std::string date;        // printed in each page's header
    double margin = 36.0;    // half an inch all round
    double bodySize = 7.5;   // the detail lines' type
    double titleSize = 12.0; // the title's
    int maxCellLines = 8;    // a wrapped cell's limit
};

// Lays out a report's pages as its records arrive: the header (title and
// date) and column headers begin each page, a row that does not fit goes
// whole to the next page, and every page ends with its page number. Column
// widths are the columns' own; when the page is too narrow the text columns
// shrink in proportion first, and numbers, dates and choices only when the
// text columns can shrink no more, their values then running on to more
// lines rather than cut. No cell's text reaches into the next column.
class ReportLayout final {
public:
    ReportLayout(const ReportDefinition& report, ReportSpool& spool, LayoutSetup setup);

    void row(const Record& record);
    // Ends the report: "Records Printed:" and the count, "** Report
    // Cancelled **" when it was stopped, and the last page. Does nothing
    // when no row was printed.
    void finish(bool cancelled);

    std::int64_t rows() const { return rows_; }
    // The columns' widths in places, as laid out.
    const std::vector<int>& widths() const { return widths_; }

private:
    void startPage();
    void endPage();
    void ensureRoom(double height);
    double lineHeight() const;

    const ReportDefinition& report_;
    ReportSpool& spool_;
    LayoutSetup setup_;
    PageSize page_;
    std::vector<int> widths_;
    std::vector<bool> whole_;  // the column's values are never cut
    std::vector<double> left_; // each column's left edge
    double y_ = 0;             // the next line's top
    double bottom_ = 0;        // no detail line goes below
    bool pageOpen_ = false;
    std::int64_t rows_ = 0;
};

} // namespace tessaly

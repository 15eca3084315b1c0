// The "CSV" and "ASCII" types: the comma-separated layout the CSV export
// writes, and addresses found in any text.
#include "core/tables.h"
#include "framework/field_text.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "import/csv_row.h"
#include "import/import_lines.h"
#include "import/import_readers.h"
#include "import/import_sink.h"
#include "import/markup.h"

#include <algorithm>
#include <array>
#include <deque>

namespace tessaly {

namespace {

constexpr std::size_t kSiteInfoWidth = 2048;
constexpr std::size_t kRowStartWidth = 80;

int ratingOf(std::string_view text)
{
    const auto number = parseNumber(text::trim(text));
    return number ? static_cast<int>(*number) : 0;
}

// The CSV export puts an apostrophe before a field that a spreadsheet would
// take for a formula; reading it back takes exactly that apostrophe away.
std::string withoutFormulaGuard(std::string text)
{
    if (text.starts_with('\'') && field_text::startsLikeFormula(std::string_view{text}.substr(1))) {
        text.erase(0, 1);
    }
    return text;
}

// A first row whose second field is no address names the columns.
bool isHeading(const std::vector<CsvRow::Field>& fields)
{
    if (fields.size() < 2) {
        return false;
    }
    const std::string_view second = text::trim(fields[1].text);
    return second.find_first_of(":./") == std::string_view::npos ||
           markup::beginsNoCase(second, "URL:");
}

void importCsvRow(const CsvRow& row, ImportSink& sink, const ImportRequest& request)
{
    const std::vector<CsvRow::Field>& fields = row.fields();
    const auto field = [&](std::size_t i) {
        return i < fields.size() ? withoutFormulaGuard(fields[i].text) : std::string{};
    };
    const std::string location{text::trim(field(1))};
    if (location.empty() || location.starts_with('#')) {
        sink.skip(SkipReason::NoAddress, location);
        return;
    }
    Record bookmark{bookmarkTable()};
    sink.setText(bookmark, BookmarkField::Location, location);
    sink.setText(bookmark, BookmarkField::Description, field(2));
    // Three fields and a bare number: the number is the rating.
    const bool ratingFourth = fields.size() == 4 && !fields[3].quoted;
    sink.setText(bookmark, BookmarkField::SiteInfo, ratingFourth ? std::string{} : field(3));
    bookmark.setNumber(BookmarkField::Rating, ratingOf(ratingFourth ? field(3) : field(4)));
    sink.setText(bookmark, BookmarkField::OriginalFilename, request.source);
    sink.add(bookmark, markup::skipBlanks(field(0)));
}

// Reads the rows of a CSV file. A row whose quote never closes (before the
// file ends or within 1 MiB) cannot be read: it is counted, and the lines
// after its first are read again as rows of their own, so one stray quote
// costs one row rather than the rest of the file.
void importCsv(ImportLines& lines, ImportSink& sink, const ImportRequest& request)
{
    lines.keepLineEnds();
    std::deque<std::string> again; // lines to read again after an unreadable row
    std::vector<std::string> held; // the lines of the row being read after its first
    std::size_t heldSize = 0;
    CsvRow row;
    bool first = true;
    std::string line;
    const auto nextLine = [&] {
        if (again.empty()) {
            return lines.next(line);
        }
        line = std::move(again.front());
        again.pop_front();
        return true;
    };
    std::string rowStart; // how the row being read begins, for the summary's details
    const auto giveUp = [&] {
        sink.skip(SkipReason::Unreadable, rowStart);
        again.insert(again.begin(), std::make_move_iterator(held.begin()),
                     std::make_move_iterator(held.end()));
        first = false;
    };
    while (sink.keepGoing(lines.fraction()) && !sink.failed() && nextLine()) {
        row.clear();
        held.clear();
        heldSize = 0;
        rowStart = text::trim(utf8::prefix(line, kRowStartWidth));
        bool complete = row.feed(line);
        while (!complete && !row.tooLong() && heldSize <= CsvRow::kLongestField && nextLine()) {
            heldSize += line.size();
            held.push_back(line);
            complete = row.feed(line);
        }
        if (!complete || row.malformed()) {
            giveUp();
            continue;
        }
        if (row.tooLong()) {
            sink.skip(SkipReason::Unreadable, rowStart);
        } else if (first && isHeading(row.fields())) {
            // the column names
        } else if (!row.blank()) {
            importCsvRow(row, sink, request);
        }
        first = false;
    }
}

// The address markers of plain text, each with where it stands next in a
// line. A marker is looked for again only once the reading has passed it,
// so a long line is read once rather than once per address.
class AddressMarkers {
public:
    explicit AddressMarkers(std::string_view line) : line_(line)
    {
        for (std::size_t i = 0; i < kMarkers.size(); ++i) {
            next_[i] = markup::findNoCase(line_, kMarkers[i]);
        }
    }

    // The earliest marker at or after `from`: where it stands and whether it
    // is a link's "a href".
    std::pair<std::size_t, bool> earliest(std::size_t from)
    {
        std::size_t best = std::string_view::npos;
        bool anchor = false;
        for (std::size_t i = 0; i < kMarkers.size(); ++i) {
            if (next_[i] < from) {
                next_[i] = markup::findNoCase(line_, kMarkers[i], from);
            }
            if (next_[i] < best) {
                best = next_[i];
                anchor = i == 0;
            }
        }
        return {best, anchor};
    }

private:
    // Schemes in any letter case, as addresses allow; https:// too.
    static constexpr std::array<std::string_view, 7> kMarkers = {
        "a href", "http://", "https://", "ftp://", "telnet://", "news://", "gopher://"};

    std::string_view line_;
    std::array<std::size_t, kMarkers.size()> next_{};
};

// The next place of a character in a line from a position on, remembered:
// the reading only moves forward, so the whole line is searched once
// however many links it holds.
class NextOf {
public:
    NextOf(std::string_view line, char c) : line_(line), c_(c) {}

    std::size_t from(std::size_t pos)
    {
        if (found_ != std::string_view::npos && (!searched_ || found_ < pos)) {
            found_ = line_.find(c_, pos);
            searched_ = true;
        }
        return found_;
    }

private:
    std::string_view line_;
    char c_;
    std::size_t found_ = 0;
    bool searched_ = false;
};

// Where the address of a link's "a href" at `tag` begins: after the "="
// and its quote.
std::size_t hrefStart(std::string_view line, std::size_t tag, NextOf& equals)
{
    std::size_t pos = equals.from(tag);
    pos = pos == std::string_view::npos ? tag + 6 : pos + 1;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '"' || line[pos] == '\'')) {
        ++pos;
    }
    return pos;
}

// `address` without a closing bracket after it that opens nowhere in it:
// "(see http://a.example/x)" holds the address "http://a.example/x".
void dropUnopenedClose(std::string& address)
{
    for (;;) {
        if (address.empty()) {
            return;
        }
        const char last = address.back();
        const char open = last == ')' ? '(' : last == ']' ? '[' : '\0';
        if (open == '\0' || std::count(address.begin(), address.end(), open) >=
                                std::count(address.begin(), address.end(), last)) {
            return;
        }
        address.pop_back();
    }
}

void importAsciiLine(std::string_view line, ImportSink& sink, const ImportRequest& request)
{
    AddressMarkers markers{line};
    NextOf equals{line, '='};
    NextOf closing{line, '>'};
    std::size_t pos = 0;
    for (;;) {
        const auto [marker, anchor] = markers.earliest(pos);
        if (marker == std::string_view::npos) {
            return;
        }
        const std::size_t begins = anchor ? hrefStart(line, marker, equals) : marker;
        const std::size_t end = std::min(line.find_first_of(" \t,<\">'", begins), line.size());
        std::string address{line.substr(begins, end - begins)};
        dropUnopenedClose(address);
        // After a link's address the text of the link follows its tag.
        const std::size_t tagEnd = anchor ? closing.from(end) : std::string_view::npos;
        pos = std::min((tagEnd != std::string_view::npos ? tagEnd : end) + 1, line.size());
        pos = std::max(pos, marker + 1);
        if (address.empty() || address.starts_with('#') ||
            address.find("://") + 3 >= address.size()) {
            continue; // no address, a place in a page, or a scheme alone
        }
        // The rest of the line describes the address; no field holds more
        // than 2,048 characters of it.
        const std::string_view rest =
            utf8::prefix(markup::skipBlanks(line.substr(pos)), kSiteInfoWidth);
        Record bookmark{bookmarkTable()};
        sink.setText(bookmark, BookmarkField::Location, address);
        // The description takes what of that text it holds, by design.
        bookmark.setText(BookmarkField::Description, rest);
        bookmark.setText(BookmarkField::SiteInfo, rest);
        sink.setText(bookmark, BookmarkField::OriginalFilename, request.source);
        if (sink.add(bookmark, {}) == AddResult::Failed) {
            return;
        }
    }
}

} // namespace

ImportSummary importTextFile(Database& database, UiPort& ui, const ImportRequest& request)
{
    ImportSummary summary;
    ImportLines lines;
    if (!lines.open(request.source)) {
        summary.sourceError = lines.error();
        return summary;
    }
    ImportSink sink{database, ui, request};
    if (!sink.begin({})) {
        summary.failed = true;
        return summary;
    }
    if (request.type == ImportType::Csv) {
        importCsv(lines, sink, request);
    } else {
        std::string line;
        while (lines.next(line) && sink.keepGoing(lines.fraction()) && !sink.failed()) {
            importAsciiLine(line, sink, request);
        }
    }
    summary.linesCut = lines.linesCut();
    if (!lines.error().empty()) {
        summary.sourceError = request.source + ": " + lines.error();
    }
    return sink.summarize(summary);
}

} // namespace tessaly

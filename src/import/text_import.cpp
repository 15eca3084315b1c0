// The "CSV" and "ASCII" types: the comma-separated layout the CSV export
// writes, and addresses found in any text.
#include "core/tables.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "import/import_lines.h"
#include "import/import_readers.h"
#include "import/import_sink.h"
#include "import/markup.h"

#include <algorithm>
#include <array>

namespace tessaly {

namespace {

constexpr std::string_view kImporting = "Importing";
constexpr std::size_t kSiteInfoWidth = 2048;
// A quoted field may hold line breaks; a record that never closes its quote
// is given up after this many lines rather than swallowing the file.
constexpr int kMostLinesInRecord = 1000;

struct CsvField {
    std::string text;
    bool quoted = false;
};

// One record by RFC 4180: fields split by commas, a quoted field taking
// commas and line breaks, "" inside it a quote; leading blanks before a
// field dropped.
std::vector<CsvField> splitCsv(std::string_view record)
{
    std::vector<CsvField> fields;
    std::size_t pos = 0;
    for (;;) {
        while (pos < record.size() && record[pos] == ' ') {
            ++pos;
        }
        CsvField field;
        if (pos < record.size() && record[pos] == '"') {
            field.quoted = true;
            ++pos;
            while (pos < record.size()) {
                if (record[pos] == '"') {
                    if (pos + 1 < record.size() && record[pos + 1] == '"') {
                        field.text += '"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                field.text += record[pos++];
            }
            // Anything between the closing quote and the comma belongs to
            // the field, as spreadsheet programs read it.
            const std::size_t comma = std::min(record.find(',', pos), record.size());
            field.text += record.substr(pos, comma - pos);
            pos = comma;
        } else {
            const std::size_t comma = std::min(record.find(',', pos), record.size());
            field.text = std::string{record.substr(pos, comma - pos)};
            pos = comma;
        }
        fields.push_back(std::move(field));
        if (pos >= record.size()) {
            return fields;
        }
        ++pos; // the comma
    }
}

// True while `record` is inside a quoted field at its end.
bool quoteOpen(std::string_view record)
{
    return std::count(record.begin(), record.end(), '"') % 2 != 0;
}

int ratingOf(std::string_view text)
{
    const auto number = parseNumber(text::trim(text));
    return number ? static_cast<int>(*number) : 0;
}

void importCsvRecord(std::string_view record, ImportSink& sink, const ImportRequest& request)
{
    // What the CSV export writes: a quoted category, then a quote, a comma
    // and a quote between the columns. Other lines are no bookmarks.
    const std::size_t quote = record.find('"');
    if (quote == std::string_view::npos ||
        record.find("\",\"", quote + 1) == std::string_view::npos) {
        return;
    }
    const std::vector<CsvField> fields = splitCsv(record);
    if (fields.size() < 2) {
        return;
    }
    const auto field = [&](std::size_t i) {
        return i < fields.size() ? std::string{markup::skipBlanks(fields[i].text)} : std::string{};
    };
    Record bookmark{bookmarkTable()};
    bookmark.setText(BookmarkField::Location, field(1));
    bookmark.setText(BookmarkField::Description, field(2));
    // Three quoted fields and a bare number: the number is the rating.
    const bool ratingFourth = fields.size() == 4 && !fields[3].quoted;
    bookmark.setText(BookmarkField::SiteInfo, ratingFourth ? std::string{} : field(3));
    bookmark.setNumber(BookmarkField::Rating, ratingOf(ratingFourth ? field(3) : field(4)));
    const std::string location = bookmark.text(BookmarkField::Location);
    if (location.empty() || location.starts_with('#')) {
        return;
    }
    bookmark.setText(BookmarkField::OriginalFilename, request.source);
    sink.add(bookmark, field(0));
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

// Where the address of a link's "a href" at `tag` begins: after the "="
// and its quote.
std::size_t hrefStart(std::string_view line, std::size_t tag)
{
    std::size_t pos = line.find('=', tag);
    pos = pos == std::string_view::npos ? tag + 6 : pos + 1;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '"' || line[pos] == '\'')) {
        ++pos;
    }
    return pos;
}

void importAsciiLine(std::string_view line, ImportSink& sink, const ImportRequest& request)
{
    AddressMarkers markers{line};
    std::size_t pos = 0;
    for (;;) {
        const auto [marker, anchor] = markers.earliest(pos);
        if (marker == std::string_view::npos) {
            return;
        }
        const std::size_t begins = anchor ? hrefStart(line, marker) : marker;
        const std::size_t end = std::min(line.find_first_of(" ,<\">'", begins), line.size());
        const std::string address{line.substr(begins, end - begins)};
        // After a link's address the text of the link follows its tag.
        const std::size_t tagEnd = anchor ? line.find('>', end) : std::string_view::npos;
        pos = std::min((tagEnd != std::string_view::npos ? tagEnd : end) + 1, line.size());
        // The rest of the line describes the address; no field holds more
        // than 2,048 characters of it.
        const std::string_view rest =
            utf8::prefix(markup::skipBlanks(line.substr(pos)), kSiteInfoWidth);
        if (address.empty() || address.starts_with('#') ||
            address.find("://") + 3 >= address.size()) {
            continue; // no address, a place in a page, or a scheme alone
        }
        Record bookmark{bookmarkTable()};
        bookmark.setText(BookmarkField::Location, address);
        bookmark.setText(BookmarkField::Description, rest);
        bookmark.setText(BookmarkField::SiteInfo, rest);
        bookmark.setText(BookmarkField::OriginalFilename, request.source);
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
    if (!sink.begin(kImporting)) {
        summary.failed = true;
        return summary;
    }
    const bool csv = request.type == ImportType::Csv;
    std::string line;
    while (lines.next(line) && sink.keepGoing(lines.fraction()) && !sink.failed()) {
        if (!csv) {
            importAsciiLine(line, sink, request);
            continue;
        }
        std::string record = line;
        for (int more = 0; quoteOpen(record) && more < kMostLinesInRecord && lines.next(line);
             ++more) {
            record += "\n" + line;
        }
        importCsvRecord(record, sink, request);
    }
    summary.linesCut = lines.linesCut();
    if (!lines.error().empty()) {
        summary.sourceError = request.source + ": " + lines.error();
    }
    return sink.summarize(summary);
}

} // namespace tessaly

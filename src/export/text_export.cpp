// The types "CSV" and "ASCII": one line per bookmark, nothing around them.
#include "core/record.h"
#include "core/tables.h"
#include "export/export_writer.h"
#include "framework/field_text.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>

namespace tessaly {

namespace {

constexpr std::size_t kCategoryWidth = 50;
constexpr std::size_t kLocationWidth = 255;
constexpr std::size_t kDescriptionWidth = 255;
constexpr std::size_t kSiteInfoWidth = 2048;

// A quoted field; a quote inside is doubled so that the field survives a
// reading by the comma-separated import and by spreadsheet programs. Line
// breaks inside stay as they are, carriage returns too: a quoted field may
// hold any of them, and the import keeps them. A field a spreadsheet would
// run as a formula gets an apostrophe before it, and other control
// characters are written "\xHH", as the command line's lists write them.
void appendQuoted(std::string& line, std::string_view field)
{
    const std::string_view text = text::clip(field);
    line += field_text::startsLikeFormula(text) ? "\"'" : "\"";
    line += field_text::escapeControls(text, [](std::string& out, char32_t cp) {
        if (cp == '"') {
            out += "\"\"";
            return true;
        }
        if (cp == '\t' || cp == '\n' || cp == '\r') {
            out += static_cast<char>(cp);
            return true;
        }
        return false;
    });
    line += '"';
}

// A fixed column: a line break or tab inside the field (site information
// often has them) would move every later column, so each is a blank.
std::string column(std::string_view field, std::size_t width)
{
    std::string text = text::padded(field, width);
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
    }
    return text;
}

class TextWriter final : public ExportWriter {
public:
    explicit TextWriter(const WriterSetup& setup)
        : settings_(*setup.settings), csv_(setup.type == ExportType::Csv), main_(setup.main)
    {}

    void opening() override {}
    void closing() override {}

    void record(const Record& bookmark) override
    {
        line_.clear();
        width_ = 0;
        if (csv_) {
            csvLine(bookmark);
            line_ += '\r'; // with the line feed after it, the CR LF that CSV files end rows with
        } else {
            asciiLine(bookmark);
        }
        main_->line(line_, width_);
    }

private:
    void csvLine(const Record& bookmark)
    {
        appendQuoted(line_, bookmark.text(BookmarkField::Category));
        line_ += ',';
        appendQuoted(line_, bookmark.text(BookmarkField::Location));
        line_ += ',';
        appendQuoted(line_, bookmark.text(BookmarkField::Description));
        if (settings_.siteInfo) {
            line_ += ',';
            appendQuoted(line_, bookmark.text(BookmarkField::SiteInfo));
        }
        if (settings_.rating) {
            line_ += ',';
            line_ += std::to_string(bookmark.number(BookmarkField::Rating));
        }
    }

    // Fixed columns joined by a blank; the line is cut at 1024 characters
    // when written, so with site information the rating never shows. An
    // address is never cut: a longer one widens its own column, and the
    // line by as much, so the columns after it keep their room.
    void asciiLine(const Record& bookmark)
    {
        line_ += column(bookmark.text(BookmarkField::Category), kCategoryWidth);
        line_ += ' ';
        const std::string_view location = text::clip(bookmark.text(BookmarkField::Location));
        const std::size_t locationLength = utf8::length(location);
        line_ += column(location, std::max(kLocationWidth, locationLength));
        if (locationLength > kLocationWidth) {
            width_ = ExportOutput::kLineWidth + locationLength - kLocationWidth;
        }
        line_ += ' ';
        line_ += column(bookmark.text(BookmarkField::Description), kDescriptionWidth);
        if (settings_.siteInfo) {
            line_ += ' ';
            line_ += column(bookmark.text(BookmarkField::SiteInfo), kSiteInfoWidth);
        }
        if (settings_.rating) {
            line_ += ' ';
            line_ += std::to_string(bookmark.number(BookmarkField::Rating));
        }
    }

    const ExportSettings& settings_;
    bool csv_;
    ExportOutput* main_;
    std::string line_;
    std::size_t width_ = 0; // where the line is cut, when wider than usual
};

} // namespace

std::unique_ptr<ExportWriter> makeTextWriter(const WriterSetup& setup)
{
    return std::make_unique<TextWriter>(setup);
}

} // namespace tessaly

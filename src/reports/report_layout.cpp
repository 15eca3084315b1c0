#include "reports/report_layout.h"

#include "core/record.h"
#include "framework/display_width.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "reports/text_breaks.h"

#include <algorithm>

namespace tessaly {

namespace {

// One place: a cut text keeps all but one of its column's places.
constexpr std::string_view kEllipsis = "\u2026";
constexpr std::size_t kEllipsisWidth = 1;
constexpr int kGap = 2;         // characters between two columns
constexpr int kNarrowest = 3;   // a column never shrinks below
constexpr double kRowSpace = 2; // points between two rows
constexpr double kLeading = 1.25;

// Control characters (a line break in a comment) print as blanks.
std::string printable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t cp = utf8::decode(text, pos);
        utf8::append(out, cp < 0x20U || (cp >= 0x7FU && cp < 0xA0U) ? U' ' : cp);
    }
    return out;
}

// Where a cell's text may be cut and where a line may end. Plain ASCII, most
// of a report, is a character a byte and breaks after its blanks, as it
// always has, without asking the Unicode rules; any other text asks them
// once, and only when it is too wide for its column.
class Breaks {
public:
    Breaks(std::string_view text, std::size_t width) : text_(text)
    {
        const bool ascii = std::all_of(
            text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80U; });
        if (!ascii && display::width(text) > width) {
            flags_ = breaks::positions(text);
        }
    }

    std::string_view text() const { return text_; }

    bool character(std::size_t pos) const
    {
        return flags_.empty() || (flags_[pos] & breaks::kCharacter) != 0;
    }

    bool line(std::size_t pos) const
    {
        if (pos == 0 || pos >= text_.size()) {
            return false;
        }
        if (flags_.empty()) {
            return text_[pos - 1] == ' ' && text_[pos] != ' ';
        }
        return (flags_[pos] & breaks::kLine) != 0;
    }

    // The end of the longest run of whole characters from `start` that
    // takes at most `places`: a vowel sign, an accent or an emoji's
    // modifier never goes to a line of its own. At least one character,
    // so that a character wider than the room still makes progress.
    std::size_t fit(std::size_t start, std::size_t places) const
    {
        std::size_t end = start + display::fit(text_.substr(start), places);
        while (end > start && !character(end)) {
            --end;
        }
        if (end == start) {
            for (end = start + 1; end < text_.size() && !character(end);) {
                ++end;
            }
        }
        return end;
    }

    // Where the word that begins at `start` ends, its blanks left out.
    std::size_t wordEnd(std::size_t start) const
    {
        std::size_t end = start + 1;
        while (end < text_.size() && !line(end)) {
            ++end;
        }
        return start + text::clip(text_.substr(start, end - start)).size();
    }

private:
    std::string_view text_;
    std::vector<std::uint8_t> flags_;
};

// Widths count places: a Chinese, Japanese or Korean character takes two,
// so a column holds half as many of them as of Latin letters.
std::string elided(const Breaks& breaks, std::size_t start, std::size_t width)
{
    const std::string_view text = breaks.text().substr(start);
    if (display::width(text) <= width) {
        return std::string{text};
    }
    if (width <= kEllipsisWidth) {
        return std::string{kEllipsis};
    }
    const std::string_view kept = text.substr(0, breaks.fit(start, width - kEllipsisWidth) - start);
    // A wide character that would reach into the ellipsis's place goes.
    if (display::width(kept) > width - kEllipsisWidth) {
        return std::string{kEllipsis};
    }
    return std::string{text::clip(kept)} + std::string{kEllipsis};
}

// Where a line of `width` places that begins at `start` ends: where a line
// may end, when the word that follows fits a line of its own or the line
// keeps at least half its places; else the word is too wide for any line
// and is cut at the width, between two characters.
std::size_t breakAt(const Breaks& breaks, std::size_t start, std::size_t width)
{
    const std::string_view text = breaks.text();
    const std::size_t cut = breaks.fit(start, width);
    if (cut == text.size() || text[cut] == ' ' || breaks.line(cut)) {
        return cut;
    }
    std::size_t opening = cut - 1;
    while (opening > start && !breaks.line(opening)) {
        --opening;
    }
    if (opening == start) {
        return cut;
    }
    const bool wordFits =
        display::width(text.substr(opening, breaks.wordEnd(opening) - opening)) <= width;
    const bool halfFull =
        display::width(text::clip(text.substr(start, opening - start))) >= width / 2;
    return wordFits || halfFull ? opening : cut;
}

// A line of a wrapped text reads in the direction of the whole text, not
// of its own first letter: the second line of "Hello مرحبا بكم 123 world"
// still reads left to right. A line that would read the other way starts
// with a mark that turns it, which every canvas follows.
void keepDirection(std::string_view whole, std::vector<std::string>& lines)
{
    if (lines.size() < 2) {
        return;
    }
    const breaks::Direction direction = breaks::firstStrong(whole);
    const bool rightToLeft = direction == breaks::Direction::RightToLeft;
    for (std::string& line : lines) {
        const breaks::Direction own = breaks::firstStrong(line);
        if (rightToLeft && own != breaks::Direction::RightToLeft) {
            line.insert(0, "\u200f"); // RIGHT-TO-LEFT MARK
        } else if (!rightToLeft && own == breaks::Direction::RightToLeft) {
            line.insert(0, "\u200e"); // LEFT-TO-RIGHT MARK
        }
    }
}

std::vector<std::string> wrapped(std::string_view whole, std::size_t width, Overflow overflow,
                                 int maxLines)
{
    const Breaks breaks{whole, width};
    std::vector<std::string> lines;
    if (overflow == Overflow::Whole) {
        for (std::size_t start = 0; start < whole.size();) {
            const std::size_t end = breaks.fit(start, width);
            lines.emplace_back(whole.substr(start, end - start));
            start = end;
        }
        return lines;
    }
    if (overflow == Overflow::Elide || maxLines <= 1) {
        lines.push_back(elided(breaks, 0, width));
        return lines;
    }
    for (std::size_t start = 0; start < whole.size();) {
        if (static_cast<int>(lines.size()) == maxLines - 1) {
            lines.push_back(elided(breaks, start, width));
            break;
        }
        const std::size_t end = breakAt(breaks, start, width);
        lines.emplace_back(text::clip(whole.substr(start, end - start)));
        start = end;
        while (start < whole.size() && whole[start] == ' ') {
            ++start;
        }
    }
    return lines;
}

} // namespace

std::vector<std::string> cellLines(std::string_view textIn, int widthIn, Overflow overflow,
                                   int maxLines)
{
    const std::string whole = printable(text::clip(textIn));
    const auto width = static_cast<std::size_t>(std::max(widthIn, 1));
    std::vector<std::string> lines = wrapped(whole, width, overflow, maxLines);
    if (lines.empty()) {
        lines.emplace_back();
    }
    keepDirection(whole, lines);
    return lines;
}

bool isTextField(const TableDef& table, int field)
{
    return table.schema->fields()[static_cast<std::size_t>(field)].isText();
}

std::string cellText(const Record& record, int field)
{
    const FieldDef& def = record.table().schema->fields()[static_cast<std::size_t>(field)];
    if (def.isText()) {
        return record.text(field);
    }
    const std::int64_t value = record.number(field);
    if (def.type == FieldType::Choice) {
        std::string_view choices = def.choices;
        for (std::int64_t i = 0; i < value && !choices.empty(); ++i) {
            const std::size_t bar = choices.find('|');
            choices = bar == std::string_view::npos ? std::string_view{} : choices.substr(bar + 1);
        }
        return std::string{choices.substr(0, choices.find('|'))};
    }
    const std::string shown = format(static_cast<double>(value), def.picture);
    return std::string{text::trim(shown)};
}

ReportLayout::ReportLayout(const ReportDefinition& report, ReportSpool& spool, LayoutSetup setup)
    : report_(report), spool_(spool), setup_(std::move(setup)), page_(setup_.page)
{
    if (report_.landscape != (page_.width > page_.height)) {
        std::swap(page_.width, page_.height);
    }
    const double charWidth = characterWidth(setup_.bodySize);
    const int columns = static_cast<int>(report_.columns.size());
    const int room = static_cast<int>((page_.width - 2 * setup_.margin) / charWidth) -
                     kGap * std::max(columns - 1, 0);
    // Numbers and dates keep their width, and the text columns give up
    // theirs first: a part of a number or a date reads as another value.
    // Only when the text columns are at their narrowest do the others
    // shrink too, their values then running on to more lines, never cut.
    int fixed = 0;
    int text = 0;
    int textColumns = 0;
    for (const ReportColumn& column : report_.columns) {
        whole_.push_back(report_.table == nullptr || !isTextField(*report_.table, column.field));
        (whole_.back() ? fixed : text) += column.width;
        textColumns += whole_.back() ? 0 : 1;
    }
    const bool shrink = fixed + text > room;
    const bool textIsEnough = fixed + kNarrowest * textColumns <= room;
    const int textRoom = room - fixed;
    const int fixedRoom = std::max(room - kNarrowest * textColumns, 0);
    double x = setup_.margin;
    for (std::size_t i = 0; i < report_.columns.size(); ++i) {
        const int own = report_.columns[i].width;
        int width = own;
        if (shrink && !whole_[i]) {
            width = textIsEnough ? std::max(kNarrowest, own * textRoom / std::max(text, 1))
                                 : kNarrowest;
        } else if (shrink && !textIsEnough) {
            width = std::max(kNarrowest, own * fixedRoom / std::max(fixed, 1));
        }
        widths_.push_back(width);
        left_.push_back(x);
        x += (width + kGap) * charWidth;
    }
    bottom_ = page_.height - setup_.margin - setup_.bodySize * 2;
}

double ReportLayout::lineHeight() const
{
    return setup_.bodySize * kLeading;
}

void ReportLayout::startPage()
{
    spool_.beginPage(page_);
    pageOpen_ = true;
    const double left = setup_.margin;
    const double right = page_.width - setup_.margin;
    double y = setup_.margin + setup_.titleSize;
    spool_.text(left, y, setup_.titleSize, true, report_.title);
    const double dateWidth =
        characterWidth(setup_.bodySize) * static_cast<double>(display::width(setup_.date));
    spool_.text(right - dateWidth, y, setup_.bodySize, false, setup_.date);
    y += setup_.bodySize;
    spool_.rule(left, right, y);
    y += lineHeight() + 2;
    const double charWidth = characterWidth(setup_.bodySize);
    // A heading wider than its column takes a second line, as a cell does.
    std::size_t headerLines = 1;
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        const ReportColumn& column = report_.columns[i];
        double lineY = y;
        const std::vector<std::string> lines =
            cellLines(column.header, widths_[i], Overflow::Wrap, setup_.maxCellLines);
        for (const std::string& header : lines) {
            const double shift =
                column.alignRight
                    ? (widths_[i] - static_cast<int>(display::width(header))) * charWidth
                    : 0.0;
            spool_.text(left_[i] + shift, lineY, setup_.bodySize, true, header);
            lineY += lineHeight();
        }
        headerLines = std::max(headerLines, lines.size());
    }
    y += static_cast<double>(headerLines - 1) * lineHeight() + setup_.bodySize * 0.5;
    spool_.rule(left, right, y);
    y_ = y + kRowSpace;
}

void ReportLayout::endPage()
{
    if (!pageOpen_) {
        return;
    }
    spool_.pageFooter(page_.width / 2, page_.height - setup_.margin + setup_.bodySize,
                      setup_.bodySize);
    spool_.endPage();
    pageOpen_ = false;
}

void ReportLayout::ensureRoom(double height)
{
    if (!pageOpen_) {
        startPage();
    } else if (y_ + height > bottom_) {
        endPage();
        startPage();
    }
}

void ReportLayout::row(const Record& record)
{
    std::vector<std::vector<std::string>> cells;
    std::size_t height = 1;
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        const ReportColumn& column = report_.columns[i];
        cells.push_back(cellLines(cellText(record, column.field), widths_[i],
                                  whole_[i] ? Overflow::Whole : column.overflow,
                                  setup_.maxCellLines));
        height = std::max(height, cells.back().size());
    }
    ensureRoom(static_cast<double>(height) * lineHeight());
    const double charWidth = characterWidth(setup_.bodySize);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        double y = y_ + setup_.bodySize;
        for (const std::string& line : cells[i]) {
            const double shift =
                report_.columns[i].alignRight
                    ? (widths_[i] - static_cast<int>(display::width(line))) * charWidth
                    : 0.0;
            if (!line.empty()) {
                spool_.text(left_[i] + shift, y, setup_.bodySize, false, line);
            }
            y += lineHeight();
        }
    }
    y_ += static_cast<double>(height) * lineHeight() + kRowSpace;
    ++rows_;
}

void ReportLayout::finish(bool cancelled)
{
    if (rows_ == 0 && !pageOpen_) {
        return;
    }
    ensureRoom(lineHeight() * 3);
    const double left = setup_.margin;
    spool_.rule(left, page_.width - setup_.margin, y_);
    double y = y_ + setup_.bodySize + kRowSpace;
    const std::string label = "Records Printed:";
    spool_.text(left, y, setup_.bodySize, true, label);
    spool_.text(left + characterWidth(setup_.bodySize) * static_cast<double>(label.size() + 1), y,
                setup_.bodySize, false, std::to_string(rows_));
    if (cancelled) {
        y += lineHeight();
        spool_.text(left, y, setup_.bodySize, true, "** Report Cancelled **");
    }
    endPage();
}

} // namespace tessaly

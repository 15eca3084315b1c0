#pragma once

#include "framework/system_file.h"
#include "reports/report_spool.h"
#include "reports/truetype_font.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tessaly {

// The fixed-pitch font the reports embed: DejaVu Sans Mono where the system
// has it, else empty.
std::string defaultReportFont();

// Writes pages as a PDF file. With a TrueType font the file embeds it and
// prints every character the font has (bold is drawn by stroking the
// outline); without one it uses the standard Courier types, whose encoding
// (Windows-1252) prints other characters as "?". The file is
// written under a temporary name in its own folder and renamed over `path`
// by commit(), so a failed or stopped run never leaves half a file where a
// good one stood. The first error is kept; later writes are dropped.
class PdfCanvas final : public PageCanvas {
public:
    explicit PdfCanvas(std::string path, const std::string& fontPath = defaultReportFont());
    ~PdfCanvas() override;
    PdfCanvas(const PdfCanvas&) = delete;
    PdfCanvas& operator=(const PdfCanvas&) = delete;

    // The file is readable by its owner only (a report with passwords).
    // Before open().
    void setPrivate(bool isPrivate) { private_ = isPrivate; }
    // Creates the temporary file; the error when it cannot be made, or when
    // `path` names something other than a regular file.
    SystemResult open();

    void beginPage(const PageSize& size) override;
    void text(double x, double y, double size, bool bold, std::string_view utf8) override;
    void rule(double x1, double x2, double y) override;
    void endPage() override;

    // Ends the document, flushes it to disk and renames it into place.
    SystemResult commit(std::string_view title);
    // Removes the temporary file, if any.
    void discard();

    const SystemResult& error() const { return error_; }

private:
    void write(std::string_view bytes);
    void beginObject(std::size_t number);
    void fail(int errorNumber);
    void writeStream(std::size_t object, std::string_view bytes, std::string_view extra = {});
    void writeFonts();
    void writeCharacterMap();
    std::string glyphString(std::string_view utf8);

    std::string path_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
    bool private_ = false;
    SystemResult error_;
    long offset_ = 0;                 // bytes written so far
    std::vector<long> objectOffsets_; // by object number - 1
    std::string content_;             // the open page's drawing
    PageSize size_;
    std::size_t pages_ = 0;
    TrueTypeFont font_;
    bool embedded_ = false;
    std::vector<std::int32_t> glyphs_; // by character below U+10000; -1 not looked up
    std::vector<char32_t> used_;       // by glyph: the character it stood for, or 0
};

// Replays `pages` into `pdf` (opened) and puts the file in place; empty
// when done, else the reason, the temporary file then removed.
std::string writePages(ReportSpool& pages, PdfCanvas& pdf, std::string_view title);

} // namespace tessaly

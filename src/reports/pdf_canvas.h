#pragma once

#include "framework/system_file.h"
#include "reports/report_spool.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// Cairo's and Pango's own types, kept out of every includer.
struct _cairo;
struct _cairo_surface;
struct _cairo_scaled_font;
struct _PangoLayout;

namespace tessaly {

// The family the reports are set in: a fixed-pitch type whose characters
// are as wide as the layout measures them. Characters it lacks are taken
// from the installed fonts that have them.
std::string defaultReportFont();

// Writes pages as a PDF file through Cairo and Pango: each text is shaped
// (joined Arabic, combining accents, Indic clusters), set in its reading
// order and in a font that has its characters, and stays selectable and
// searchable; a character no installed font has prints as a box. The file
// is written under a temporary name in its own folder and renamed over
// `path` by commit(), so a failed or stopped run never leaves half a file
// where a good one stood. The first error is kept; later writes are
// dropped. One thread at a time.
class PdfCanvas final : public PageCanvas {
public:
    explicit PdfCanvas(std::string path, std::string family = defaultReportFont());
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
    static int writeBytes(void* canvas, const unsigned char* data, unsigned int length);
    void fail(int errorNumber);
    void checkDrawing();
    _PangoLayout* layout(double size, bool bold);
    bool drawPlain(double x, double y, double size, bool bold, std::string_view utf8);
    void flushPlain();
    void release();

    std::string path_;
    std::string family_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
    bool private_ = false;
    SystemResult error_;
    _cairo_surface* surface_ = nullptr;
    _cairo* cairo_ = nullptr;
    // One layout per type size and weight: their fonts are looked up once.
    std::unordered_map<long, _PangoLayout*> layouts_;
    // Most report text is Latin, Greek or Cyrillic that the report's own
    // font has whole, one glyph a character: drawn straight from the font
    // file, it needs neither shaping nor a font search. Everything else
    // goes through Pango.
    struct PlainFont {
        bool tried = false;
        void* face = nullptr;                                 // FT_Face, released with `fontFace`
        void* fontFace = nullptr;                             // cairo_font_face_t
        std::unordered_map<long, _cairo_scaled_font*> scaled; // by layoutKey
        // Glyph index by character, 0 where the font has none or the
        // character needs shaping; filled as characters are first met.
        std::vector<std::uint32_t> glyphs;
    };
    static constexpr std::uint32_t kNotLookedUp = 0xFFFFFFFF;
    PlainFont plain_[2]; // regular, bold
    // A page's plain texts wait to be drawn together, a run per font and
    // size: the PDF then holds a few long text objects rather than one per
    // cell.
    struct Runs;
    std::unique_ptr<Runs> runs_;
};

// Replays `pages` into `pdf` (opened) and puts the file in place; empty
// when done, else the reason, the temporary file then removed.
std::string writePages(ReportSpool& pages, PdfCanvas& pdf, std::string_view title);

} // namespace tessaly

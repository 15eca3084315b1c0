#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tessaly {

// A page's size in points (1/72 inch).
struct PageSize {
    double width = 595.0; // A4
    double height = 842.0;
};

// Where finished pages go: the PDF file of the command line, the preview
// or the printer of the windows. Positions are in points from the page's
// top left; `y` is the baseline of a text. Texts are set in a fixed-pitch
// type whose every place is 0.6 of the size wide, a wide character (Chinese,
// Japanese, Korean) taking two places, so what the layout measured is what
// any canvas draws.
class PageCanvas {
public:
    virtual ~PageCanvas() = default;
    virtual void beginPage(const PageSize& size) = 0;
    virtual void text(double x, double y, double size, bool bold, std::string_view utf8) = 0;
    virtual void rule(double x1, double x2, double y) = 0;
    virtual void endPage() = 0;
};

// Width of one place of the reports' type at `size` points.
constexpr double characterWidth(double size)
{
    return size * 0.6;
}

// The pages of one report as they are laid out, kept in a temporary file
// rather than in memory, so a report of any length costs the same memory.
// The page count is known only at the end: each page's footer waits in the
// spool and is drawn as "Page n of m" when the pages are replayed. Write
// errors (a full disk) are kept and reported by ok()/error().
class ReportSpool final {
public:
    ReportSpool();
    ~ReportSpool();
    ReportSpool(const ReportSpool&) = delete;
    ReportSpool& operator=(const ReportSpool&) = delete;

    void beginPage(const PageSize& size);
    void text(double x, double y, double size, bool bold, std::string_view utf8);
    void rule(double x1, double x2, double y);
    // "Page n of m" centred on `centre`.
    void pageFooter(double centre, double y, double size);
    void endPage();

    int pages() const { return pages_; }
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // Draws every page onto `canvas`; may be called again (a preview asks
    // once more when its page setup changes). False when the spool could
    // not be read back.
    bool replay(PageCanvas& canvas);

private:
    void put(const void* data, std::size_t size);
    void fail(int errorNumber);

    std::FILE* file_ = nullptr;
    int pages_ = 0;
    bool open_ = false; // a page is begun and not ended
    std::string error_;
};

} // namespace tessaly

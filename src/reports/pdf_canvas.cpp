#include "reports/pdf_canvas.h"

#include "framework/display_width.h"
#include "framework/utf8.h"
#include "platform/data_folder.h"

#include <array>
#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <ft2build.h>
#include <map>
#include <pango/pangocairo.h>
#include <vector>
#include FT_FREETYPE_H
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

// A layout's key: the size in hundredths of a point, odd for bold.
long layoutKey(double size, bool bold)
{
    return std::lround(size * 100.0) * 2 + (bold ? 1 : 0);
}

// The report's own font, regular and bold, where Debian puts it.
constexpr std::array<const char*, 2> kPlainFontFiles = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"};

const cairo_user_data_key_t kFaceKey{};

FT_Library freetype()
{
    static FT_Library library = [] {
        FT_Library made = nullptr;
        return FT_Init_FreeType(&made) == 0 ? made : nullptr;
    }();
    return library;
}

// A character the report's font draws alone, left to right, without any
// shaping: Latin, Greek, Cyrillic and common punctuation, but no combining
// mark and no soft hyphen.
constexpr char32_t kPlainLimit = 0x205F; // no plain character at or above

bool plainCharacter(char32_t c)
{
    return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c < 0x300 && c != 0xAD) ||
           (c >= 0x370 && c < 0x483) || (c >= 0x48A && c < 0x530) || (c >= 0x2010 && c < 0x2028) ||
           (c >= 0x2030 && c < 0x205F);
}

} // namespace

struct PdfCanvas::Runs {
    struct Run {
        cairo_scaled_font_t* font = nullptr;
        std::string text;
        std::vector<cairo_glyph_t> glyphs;
        std::vector<cairo_text_cluster_t> clusters;
    };
    std::map<std::pair<int, long>, Run> byFont; // by weight and layoutKey
};

std::string defaultReportFont()
{
    // Fontconfig falls back from the first family to the next and then to
    // any installed font that has the character.
    return "DejaVu Sans Mono, Noto Sans Mono, monospace";
}

PdfCanvas::PdfCanvas(std::string path, std::string family)
    : path_(std::move(path)), family_(std::move(family)), runs_(std::make_unique<Runs>())
{}

PdfCanvas::~PdfCanvas()
{
    discard(); // releases the layouts too
}

void PdfCanvas::release()
{
    runs_->byFont.clear();
    for (auto& [key, layout] : layouts_) {
        g_object_unref(layout);
    }
    layouts_.clear();
    for (PlainFont& font : plain_) {
        for (auto& [key, scaled] : font.scaled) {
            cairo_scaled_font_destroy(scaled);
        }
        font.scaled.clear();
        if (font.fontFace != nullptr) {
            cairo_font_face_destroy(static_cast<cairo_font_face_t*>(font.fontFace));
        }
        font = PlainFont{};
    }
    if (cairo_ != nullptr) {
        cairo_destroy(cairo_);
        cairo_ = nullptr;
    }
    if (surface_ != nullptr) {
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
    }
}

void PdfCanvas::fail(int errorNumber)
{
    if (error_.ok()) {
        error_ = SystemResult::fromErrno(errorNumber != 0 ? errorNumber : EIO);
    }
}

int PdfCanvas::writeBytes(void* canvas, const unsigned char* data, unsigned int length)
{
    auto* self = static_cast<PdfCanvas*>(canvas);
    if (self->file_ == nullptr || !self->error_.ok()) {
        return CAIRO_STATUS_WRITE_ERROR;
    }
    if (std::fwrite(data, 1, length, self->file_) != length) {
        self->fail(errno);
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

// A drawing that failed for want of memory or of the file's room.
void PdfCanvas::checkDrawing()
{
    if (cairo_ != nullptr && cairo_status(cairo_) != CAIRO_STATUS_SUCCESS) {
        fail(cairo_status(cairo_) == CAIRO_STATUS_NO_MEMORY ? ENOMEM : EIO);
    }
}

SystemResult PdfCanvas::open()
{
    if (SystemResult target = userFileTarget(path_); !target.ok()) {
        error_ = std::move(target);
        return error_;
    }
    // Beside the real file, so that the rename stays on one file system.
    temporary_ = path_ + ".XXXXXX";
    const int fd = ::mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd < 0) {
        fail(errno);
        temporary_.clear();
        return error_;
    }
    // A report is the user's to hand on: the user's own umask, not the
    // private one the program keeps for its data; one that prints the
    // sites' passwords stays the user's alone.
    static_cast<void>(::fchmod(fd, private_ ? S_IRUSR | S_IWUSR : userFileMode()));
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        fail(errno);
        ::close(fd);
        return error_;
    }
    // Each page sets its own size before anything is drawn on it.
    const PageSize a4;
    surface_ = cairo_pdf_surface_create_for_stream(
        [](void* canvas, const unsigned char* data, unsigned int length) {
            return static_cast<cairo_status_t>(writeBytes(canvas, data, length));
        },
        this, a4.width, a4.height);
    cairo_ = cairo_create(surface_);
    checkDrawing();
    return error_;
}

PangoLayout* PdfCanvas::layout(double size, bool bold)
{
    const long key = layoutKey(size, bold);
    if (const auto found = layouts_.find(key); found != layouts_.end()) {
        return found->second;
    }
    PangoLayout* made = pango_cairo_create_layout(cairo_);
    PangoFontDescription* font = pango_font_description_from_string(family_.c_str());
    // Points are the page's units: no screen resolution scales them.
    pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
    pango_font_description_set_weight(font, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(made, font);
    pango_font_description_free(font);
    // Metrics as a printer has them: no snapping to a screen's pixels.
    PangoContext* context = pango_layout_get_context(made);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(made);
    layouts_.emplace(key, made);
    return made;
}

void PdfCanvas::beginPage(const PageSize& size)
{
    if (surface_ != nullptr) {
        cairo_pdf_surface_set_size(surface_, size.width, size.height);
    }
}

bool PdfCanvas::drawPlain(double x, double y, double size, bool bold, std::string_view utf8)
{
    PlainFont& font = plain_[bold ? 1 : 0];
    if (!font.tried) {
        font.tried = true;
        FT_Face face = nullptr;
        if (freetype() == nullptr ||
            FT_New_Face(freetype(), kPlainFontFiles[bold ? 1 : 0], 0, &face) != 0) {
            return false;
        }
        cairo_font_face_t* made = cairo_ft_font_face_create_for_ft_face(face, 0);
        if (cairo_font_face_set_user_data(made, &kFaceKey, face, [](void* done) {
                FT_Done_Face(static_cast<FT_Face>(done));
            }) != CAIRO_STATUS_SUCCESS) {
            cairo_font_face_destroy(made);
            FT_Done_Face(face);
            return false;
        }
        font.face = face;
        font.fontFace = made;
    }
    if (font.fontFace == nullptr) {
        return false;
    }
    auto* face = static_cast<FT_Face>(font.face);
    const long key = layoutKey(size, false);
    auto found = font.scaled.find(key);
    if (found == font.scaled.end()) {
        cairo_matrix_t matrix;
        cairo_matrix_init_scale(&matrix, size, size);
        cairo_matrix_t identity;
        cairo_matrix_init_identity(&identity);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        found =
            font.scaled
                .emplace(key,
                         cairo_scaled_font_create(static_cast<cairo_font_face_t*>(font.fontFace),
                                                  &matrix, &identity, options))
                .first;
        cairo_font_options_destroy(options);
    }
    Runs::Run& run = runs_->byFont[{bold ? 1 : 0, key}];
    run.font = found->second;
    // The font's own advance: the text then needs no correction glyph by
    // glyph, and it is within a few thousandths of the layout's.
    const double advance = size * static_cast<double>(face->max_advance_width) /
                           static_cast<double>(face->units_per_EM);
    const std::size_t glyphsBefore = run.glyphs.size();
    const std::size_t clustersBefore = run.clusters.size();
    if (font.glyphs.empty()) {
        font.glyphs.assign(kPlainLimit, kNotLookedUp);
    }
    std::size_t placed = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        const auto byte = static_cast<unsigned char>(utf8[pos]);
        const char32_t c = byte < 0x80U ? (++pos, char32_t{byte}) : utf8::decode(utf8, pos);
        if (c >= kPlainLimit) {
            run.glyphs.resize(glyphsBefore);
            run.clusters.resize(clustersBefore);
            return false;
        }
        // A report sets the same few characters millions of times: each is
        // looked up in the font once.
        std::uint32_t& glyph = font.glyphs[c];
        if (glyph == kNotLookedUp) {
            glyph = plainCharacter(c) ? FT_Get_Char_Index(face, c) : 0;
        }
        if (glyph == 0) {
            run.glyphs.resize(glyphsBefore);
            run.clusters.resize(clustersBefore);
            return false;
        }
        run.glyphs.push_back({glyph, x + advance * static_cast<double>(placed++), y});
        run.clusters.push_back({static_cast<int>(pos - start), 1});
    }
    run.text.append(utf8);
    return true;
}

// Draws the page's waiting plain texts.
void PdfCanvas::flushPlain()
{
    for (auto& [key, run] : runs_->byFont) {
        if (run.glyphs.empty()) {
            continue;
        }
        cairo_set_scaled_font(cairo_, run.font);
        cairo_show_text_glyphs(cairo_, run.text.data(), static_cast<int>(run.text.size()),
                               run.glyphs.data(), static_cast<int>(run.glyphs.size()),
                               run.clusters.data(), static_cast<int>(run.clusters.size()),
                               cairo_text_cluster_flags_t{});
        run.text.clear();
        run.glyphs.clear();
        run.clusters.clear();
    }
}

void PdfCanvas::text(double x, double y, double size, bool bold, std::string_view utf8)
{
    if (cairo_ == nullptr || !error_.ok() || utf8.empty() || drawPlain(x, y, size, bold, utf8)) {
        return;
    }
    PangoLayout* line = layout(size, bold);
    pango_layout_set_text(line, utf8.data(), static_cast<int>(utf8.size()));
    int width = 0;
    int height = 0;
    pango_layout_get_size(line, &width, &height);
    const double drawn = static_cast<double>(width) / PANGO_SCALE;
    // The layout gave the text its places, two for each wide character; a
    // glyph of a fallback font wider than them is narrowed to them, so the
    // text never runs into the next column.
    const double room = characterWidth(size) * static_cast<double>(display::width(utf8));
    const double squeeze = drawn > room && drawn > 0 ? room / drawn : 1.0;
    const double baseline = static_cast<double>(pango_layout_get_baseline(line)) / PANGO_SCALE;
    cairo_save(cairo_);
    cairo_translate(cairo_, x, y - baseline);
    cairo_scale(cairo_, squeeze, 1.0);
    cairo_move_to(cairo_, 0, 0);
    pango_cairo_show_layout(cairo_, line);
    cairo_restore(cairo_);
}

void PdfCanvas::rule(double x1, double x2, double y)
{
    if (cairo_ == nullptr || !error_.ok()) {
        return;
    }
    cairo_set_line_width(cairo_, 0.5);
    cairo_move_to(cairo_, x1, y);
    cairo_line_to(cairo_, x2, y);
    cairo_stroke(cairo_);
}

void PdfCanvas::endPage()
{
    if (cairo_ != nullptr && error_.ok()) {
        flushPlain();
        cairo_show_page(cairo_);
        checkDrawing();
    }
}

SystemResult PdfCanvas::commit(std::string_view title)
{
    if (surface_ == nullptr) {
        fail(EBADF);
    } else {
        const std::string name{title};
        cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_TITLE, name.c_str());
        cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATOR, "Tessaly 2000");
        checkDrawing();
        cairo_surface_finish(surface_);
        if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
            fail(cairo_surface_status(surface_) == CAIRO_STATUS_NO_MEMORY ? ENOMEM : EIO);
        }
    }
    release();
    if (file_ == nullptr) {
        return error_;
    }
    if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) {
        fail(errno);
    }
    if (std::fclose(file_) != 0) {
        fail(errno);
    }
    file_ = nullptr;
    if (error_.ok() && std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        fail(errno);
    }
    if (error_.ok()) {
        temporary_.clear();
    }
    return error_;
}

void PdfCanvas::discard()
{
    release();
    discardTemporary(file_, temporary_);
}

std::string writePages(ReportSpool& pages, PdfCanvas& pdf, std::string_view title)
{
    const bool replayed = pdf.error().ok() && pages.replay(pdf);
    if (replayed) {
        static_cast<void>(pdf.commit(title));
    }
    if (replayed && pdf.error().ok()) {
        return {};
    }
    pdf.discard();
    return pages.ok() ? pdf.error().text : pages.error();
}

} // namespace tessaly

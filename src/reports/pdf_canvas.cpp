#include "reports/pdf_canvas.h"

#include "framework/utf8.h"
#include "platform/data_folder.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace tessaly {

namespace {

// Objects 1 to 8 are fixed; each page adds its drawing and itself. The
// standard types use 3 and 4, an embedded font 3 and 5 to 8.
constexpr std::size_t kCatalog = 1;
constexpr std::size_t kPageTree = 2;
constexpr std::size_t kRegular = 3;
constexpr std::size_t kBold = 4;
constexpr std::size_t kDescendant = 5;
constexpr std::size_t kDescriptor = 6;
constexpr std::size_t kFontFile = 7;
constexpr std::size_t kCharacterMap = 8;
constexpr std::size_t kFirstPage = 9;
constexpr std::string_view kFontName = "DejaVuSansMono";

// Flate-packed bytes; empty when zlib fails.
std::string packed(std::string_view bytes)
{
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                  Z_BEST_SPEED) != Z_OK) {
        return {};
    }
    out.resize(size);
    return out;
}

void appendHex(std::string& out, unsigned value, int digits)
{
    static constexpr std::string_view kDigits = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out += kDigits[(value >> static_cast<unsigned>(shift)) & 0xFU];
    }
}

// A number as PDF writes it: never in the locale's decimal comma.
std::string number(double value)
{
    std::array<char, 32> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, 2);
    return error == std::errc{} ? std::string{buffer.data(), end} : std::string{"0"};
}

// A PDF string of the text in the standard types' encoding.
std::string pdfString(std::string_view utf8)
{
    std::string out = "(";
    for (std::size_t pos = 0; pos < utf8.size();) {
        const int byte = utf8::windows1252Byte(utf8::decode(utf8, pos));
        if (byte < 0x20) {
            out += '?';
        } else if (byte == '(' || byte == ')' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte < 0x7F) {
            out += static_cast<char>(byte);
        } else {
            const std::array<char, 4> octal = {'\\', static_cast<char>('0' + ((byte >> 6) & 7)),
                                               static_cast<char>('0' + ((byte >> 3) & 7)),
                                               static_cast<char>('0' + (byte & 7))};
            out.append(octal.data(), octal.size());
        }
    }
    out += ')';
    return out;
}

std::string reference(std::size_t object)
{
    return std::to_string(object) + " 0 R";
}

} // namespace

std::string defaultReportFont()
{
    for (const char* candidate : {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
                                  "/usr/local/share/fonts/DejaVuSansMono.ttf"}) {
        if (::access(candidate, R_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

PdfCanvas::PdfCanvas(std::string path, const std::string& fontPath) : path_(std::move(path))
{
    embedded_ = !fontPath.empty() && font_.load(fontPath);
    if (embedded_) {
        glyphs_.assign(0x10000, -1);
        used_.assign(0x10000, 0);
    }
}

PdfCanvas::~PdfCanvas()
{
    discard();
}

void PdfCanvas::fail(int errorNumber)
{
    if (error_.ok()) {
        error_ = SystemResult::fromErrno(errorNumber != 0 ? errorNumber : EIO);
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
    write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    beginObject(kCatalog);
    write("<< /Type /Catalog /Pages " + reference(kPageTree) + " >>\nendobj\n");
    writeFonts();
    return error_;
}

void PdfCanvas::writeStream(std::size_t object, std::string_view bytes, std::string_view extra)
{
    const std::string data = packed(bytes);
    if (data.empty() && !bytes.empty()) {
        fail(ENOMEM);
        return;
    }
    beginObject(object);
    write("<< /Length " + std::to_string(data.size()) + " /Filter /FlateDecode" +
          std::string{extra} + " >>\nstream\n");
    write(data);
    write("\nendstream\nendobj\n");
}

void PdfCanvas::writeFonts()
{
    if (!embedded_) {
        beginObject(kRegular);
        write("<< /Type /Font /Subtype /Type1 /BaseFont /Courier /Encoding /WinAnsiEncoding >>\n"
              "endobj\n");
        beginObject(kBold);
        write("<< /Type /Font /Subtype /Type1 /BaseFont /Courier-Bold /Encoding "
              "/WinAnsiEncoding >>\nendobj\n");
        for (const std::size_t unused : {kDescendant, kDescriptor, kFontFile}) {
            beginObject(unused);
            write("null\nendobj\n");
        }
        return;
    }
    const std::string name{kFontName};
    beginObject(kRegular);
    write("<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
          " /Encoding /Identity-H /DescendantFonts [" + reference(kDescendant) + "] /ToUnicode " +
          reference(kCharacterMap) + " >>\nendobj\n");
    beginObject(kBold);
    write("null\nendobj\n");
    beginObject(kDescendant);
    write("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
          " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> "
          "/FontDescriptor " +
          reference(kDescriptor) + " /DW " + std::to_string(font_.advance()) +
          " /CIDToGIDMap /Identity >>\nendobj\n");
    const auto box = font_.box();
    beginObject(kDescriptor);
    write("<< /Type /FontDescriptor /FontName /" + name + " /Flags 33 /FontBBox [" +
          std::to_string(box[0]) + ' ' + std::to_string(box[1]) + ' ' + std::to_string(box[2]) +
          ' ' + std::to_string(box[3]) + "] /ItalicAngle 0 /Ascent " +
          std::to_string(font_.ascent()) + " /Descent " + std::to_string(font_.descent()) +
          " /CapHeight " + std::to_string(font_.ascent()) + " /StemV 80 /FontFile2 " +
          reference(kFontFile) + " >>\nendobj\n");
    writeStream(kFontFile, font_.data(), " /Length1 " + std::to_string(font_.data().size()));
}

// What readers need to turn the glyphs shown back into text (to search it,
// copy it, or read it as pdftotext does).
void PdfCanvas::writeCharacterMap()
{
    if (!embedded_) {
        beginObject(kCharacterMap);
        write("null\nendobj\n");
        return;
    }
    std::string map = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::string block;
    std::size_t count = 0;
    const auto flush = [&] {
        map += std::to_string(count) + " beginbfchar\n" + block + "endbfchar\n";
        block.clear();
        count = 0;
    };
    for (std::size_t glyph = 0; glyph < used_.size(); ++glyph) {
        char32_t cp = used_[glyph];
        if (cp == 0) {
            continue;
        }
        block += '<';
        appendHex(block, static_cast<unsigned>(glyph), 4);
        block += "> <";
        if (cp >= 0x10000U) { // a pair of UTF-16 halves
            cp -= 0x10000U;
            appendHex(block, 0xD800U + (cp >> 10U), 4);
            appendHex(block, 0xDC00U + (cp & 0x3FFU), 4);
        } else {
            appendHex(block, cp, 4);
        }
        block += ">\n";
        if (++count == 100) { // the most one block may hold
            flush();
        }
    }
    if (count > 0) {
        flush();
    }
    map += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    writeStream(kCharacterMap, map);
}

std::string PdfCanvas::glyphString(std::string_view utf8)
{
    std::string out = "<";
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t cp = utf8::decode(utf8, pos);
        std::int32_t glyph = cp < 0x10000U ? glyphs_[cp] : -1;
        if (glyph < 0) {
            glyph = font_.glyph(cp);
            if (cp < 0x10000U) {
                glyphs_[cp] = glyph;
            }
        }
        char32_t shown = cp;
        if (glyph == 0) { // the font has no such character
            shown = U'?';
            glyph = font_.glyph(shown);
        }
        if (used_[static_cast<std::size_t>(glyph)] == 0) {
            used_[static_cast<std::size_t>(glyph)] = shown;
        }
        appendHex(out, static_cast<unsigned>(glyph), 4);
    }
    out += '>';
    return out;
}

void PdfCanvas::write(std::string_view bytes)
{
    if (file_ == nullptr || !error_.ok()) {
        return;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        fail(errno);
        return;
    }
    offset_ += static_cast<long>(bytes.size());
}

void PdfCanvas::beginObject(std::size_t object)
{
    if (objectOffsets_.size() < object) {
        objectOffsets_.resize(object, 0);
    }
    objectOffsets_[object - 1] = offset_;
    write(std::to_string(object) + " 0 obj\n");
}

void PdfCanvas::beginPage(const PageSize& size)
{
    size_ = size;
    content_.clear();
}

void PdfCanvas::text(double x, double y, double size, bool bold, std::string_view utf8)
{
    const std::string at = number(x) + ' ' + number(size_.height - y) + " Td ";
    if (!embedded_) {
        content_ += "BT /";
        content_ += bold ? "F2 " : "F1 ";
        content_ += number(size) + " Tf " + at + pdfString(utf8) + " Tj ET\n";
        return;
    }
    // Squeezed or stretched to the layout's 0.6 of the size per character;
    // bold strokes the outline as well as filling it.
    const double scale = characterWidth(1000.0) * 100.0 / font_.advance();
    content_ += "BT /F1 " + number(size) + " Tf " + number(scale) + " Tz " +
                (bold ? "2 Tr " + number(size * 0.04) + " w " : std::string{"0 Tr "}) + at +
                glyphString(utf8) + " Tj ET\n";
}

void PdfCanvas::rule(double x1, double x2, double y)
{
    const std::string at = number(size_.height - y);
    content_ += "0.5 w " + number(x1) + ' ' + at + " m " + number(x2) + ' ' + at + " l S\n";
}

void PdfCanvas::endPage()
{
    const std::size_t drawing = kFirstPage + 2 * pages_;
    writeStream(drawing, content_);
    beginObject(drawing + 1);
    write("<< /Type /Page /Parent " + reference(kPageTree) + " /MediaBox [0 0 " +
          number(size_.width) + ' ' + number(size_.height) + "] /Resources << /Font << /F1 " +
          reference(kRegular) + (embedded_ ? std::string{} : " /F2 " + reference(kBold)) +
          " >> >> /Contents " + reference(drawing) + " >>\nendobj\n");
    ++pages_;
    content_.clear();
}

SystemResult PdfCanvas::commit(std::string_view title)
{
    writeCharacterMap();
    beginObject(kPageTree);
    write("<< /Type /Pages /Count " + std::to_string(pages_) + " /Kids [");
    for (std::size_t i = 0; i < pages_; ++i) {
        write(reference(kFirstPage + 2 * i + 1) + (i + 1 < pages_ ? " " : ""));
    }
    write("] >>\nendobj\n");
    const std::size_t info = kFirstPage + 2 * pages_;
    beginObject(info);
    write("<< /Title " + pdfString(title) + " /Producer (Tessaly 2000) >>\nendobj\n");
    const long xref = offset_;
    write("xref\n0 " + std::to_string(objectOffsets_.size() + 1) + "\n0000000000 65535 f \n");
    for (const long at : objectOffsets_) {
        std::array<char, 21> entry{};
        std::snprintf(entry.data(), entry.size(), "%010ld 00000 n \n", at);
        write({entry.data(), 20});
    }
    write("trailer\n<< /Size " + std::to_string(objectOffsets_.size() + 1) + " /Root " +
          reference(kCatalog) + " /Info " + reference(info) + " >>\nstartxref\n" +
          std::to_string(xref) + "\n%%EOF\n");
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

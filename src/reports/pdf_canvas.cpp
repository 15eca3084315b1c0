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

// Objects 1 to 4 are fixed; each page adds its drawing and itself.
constexpr std::size_t kCatalog = 1;
constexpr std::size_t kPageTree = 2;
constexpr std::size_t kRegular = 3;
constexpr std::size_t kBold = 4;
constexpr std::size_t kFirstPage = 5;

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

PdfCanvas::PdfCanvas(std::string path) : path_(std::move(path))
{}

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
    // Beside the real file, so that the rename stays on one file system.
    temporary_ = path_ + ".XXXXXX";
    const int fd = ::mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd < 0) {
        fail(errno);
        temporary_.clear();
        return error_;
    }
    // A report is the user's to hand on: the user's own umask, not the
    // private one the program keeps for its data.
    static_cast<void>(::fchmod(fd, userFileMode()));
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        fail(errno);
        ::close(fd);
        return error_;
    }
    write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    beginObject(kCatalog);
    write("<< /Type /Catalog /Pages " + reference(kPageTree) + " >>\nendobj\n");
    beginObject(kRegular);
    write("<< /Type /Font /Subtype /Type1 /BaseFont /Courier /Encoding /WinAnsiEncoding >>\n"
          "endobj\n");
    beginObject(kBold);
    write("<< /Type /Font /Subtype /Type1 /BaseFont /Courier-Bold /Encoding /WinAnsiEncoding >>\n"
          "endobj\n");
    return error_;
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
    content_ += "BT /";
    content_ += bold ? "F2 " : "F1 ";
    content_ += number(size) + " Tf " + number(x) + ' ' + number(size_.height - y) + " Td " +
                pdfString(utf8) + " Tj ET\n";
}

void PdfCanvas::rule(double x1, double x2, double y)
{
    const std::string at = number(size_.height - y);
    content_ += "0.5 w " + number(x1) + ' ' + at + " m " + number(x2) + ' ' + at + " l S\n";
}

void PdfCanvas::endPage()
{
    const std::size_t drawing = kFirstPage + 2 * pages_;
    uLongf packedSize = compressBound(static_cast<uLong>(content_.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(content_.data()),
                  static_cast<uLong>(content_.size()), Z_BEST_SPEED) != Z_OK) {
        fail(ENOMEM);
        return;
    }
    packed.resize(packedSize);
    beginObject(drawing);
    write("<< /Length " + std::to_string(packed.size()) + " /Filter /FlateDecode >>\nstream\n");
    write(packed);
    write("\nendstream\nendobj\n");
    beginObject(drawing + 1);
    write("<< /Type /Page /Parent " + reference(kPageTree) + " /MediaBox [0 0 " +
          number(size_.width) + ' ' + number(size_.height) + "] /Resources << /Font << /F1 " +
          reference(kRegular) + " /F2 " + reference(kBold) + " >> >> /Contents " +
          reference(drawing) + " >>\nendobj\n");
    ++pages_;
    content_.clear();
}

SystemResult PdfCanvas::commit(std::string_view title)
{
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

} // namespace tessaly

#include "reports/report_spool.h"

#include "framework/system_file.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace tessaly {

namespace {

enum Op : char { BeginPage = 'B', Text = 'T', Rule = 'R', Footer = 'F', EndPage = 'E' };

// Reads back what put() wrote; false at the end or on a short read.
class SpoolReader {
public:
    explicit SpoolReader(std::FILE* file) : file_(file) {}

    template <typename T> bool get(T& value)
    {
        return ::fread_unlocked(&value, sizeof value, 1, file_) == 1;
    }
    bool get(std::string& text, std::uint32_t size)
    {
        text.resize(size);
        return size == 0 || ::fread_unlocked(text.data(), 1, size, file_) == size;
    }

private:
    std::FILE* file_;
};

std::string footerText(std::int32_t page, int pages)
{
    return "Page " + std::to_string(page) + " of " + std::to_string(pages);
}

} // namespace

ReportSpool::ReportSpool() : file_(std::tmpfile())
{
    if (file_ == nullptr) {
        fail(errno);
    }
}

ReportSpool::~ReportSpool()
{
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void ReportSpool::fail(int errorNumber)
{
    if (error_.empty()) {
        error_ = "the report's pages could not be kept: " +
                 SystemResult::fromErrno(errorNumber != 0 ? errorNumber : EIO).text;
    }
}

void ReportSpool::put(const void* data, std::size_t size)
{
    // The spool is one thread's alone: no stream locking per field.
    if (file_ != nullptr && ok() && size != 0 && ::fwrite_unlocked(data, 1, size, file_) != size) {
        fail(errno);
    }
}

void ReportSpool::beginPage(const PageSize& size)
{
    const char op = BeginPage;
    put(&op, 1);
    put(&size.width, sizeof size.width);
    put(&size.height, sizeof size.height);
    ++pages_;
    open_ = true;
}

void ReportSpool::text(double x, double y, double size, bool bold, std::string_view utf8)
{
    const char op = Text;
    const char weight = bold ? 1 : 0;
    const auto length = static_cast<std::uint32_t>(utf8.size());
    put(&op, 1);
    put(&x, sizeof x);
    put(&y, sizeof y);
    put(&size, sizeof size);
    put(&weight, 1);
    put(&length, sizeof length);
    put(utf8.data(), utf8.size());
}

void ReportSpool::rule(double x1, double x2, double y)
{
    const char op = Rule;
    put(&op, 1);
    put(&x1, sizeof x1);
    put(&x2, sizeof x2);
    put(&y, sizeof y);
}

void ReportSpool::pageFooter(double centre, double y, double size)
{
    const char op = Footer;
    const std::int32_t page = pages_;
    put(&op, 1);
    put(&centre, sizeof centre);
    put(&y, sizeof y);
    put(&size, sizeof size);
    put(&page, sizeof page);
}

void ReportSpool::endPage()
{
    if (!open_) {
        return;
    }
    const char op = EndPage;
    put(&op, 1);
    open_ = false;
}

bool ReportSpool::replay(PageCanvas& canvas)
{
    if (file_ == nullptr || !ok() || std::fflush(file_) != 0 ||
        std::fseek(file_, 0, SEEK_SET) != 0) {
        fail(errno);
        return false;
    }
    SpoolReader in{file_};
    bool good = true;
    char op = 0;
    std::string words;
    while (good && in.get(op)) {
        double a = 0;
        double b = 0;
        double c = 0;
        switch (op) {
        case BeginPage:
            good = in.get(a) && in.get(b);
            if (good) {
                canvas.beginPage({a, b});
            }
            break;
        case Text: {
            char bold = 0;
            std::uint32_t length = 0;
            good = in.get(a) && in.get(b) && in.get(c) && in.get(bold) && in.get(length) &&
                   in.get(words, length);
            if (good) {
                canvas.text(a, b, c, bold != 0, words);
            }
            break;
        }
        case Rule:
            good = in.get(a) && in.get(b) && in.get(c);
            if (good) {
                canvas.rule(a, b, c);
            }
            break;
        case Footer: {
            std::int32_t page = 0;
            good = in.get(a) && in.get(b) && in.get(c) && in.get(page);
            if (good) {
                words = footerText(page, pages_);
                const double width = characterWidth(c) * static_cast<double>(words.size());
                canvas.text(a - width / 2, b, c, false, words);
            }
            break;
        }
        case EndPage:
            canvas.endPage();
            break;
        default:
            good = false;
            break;
        }
    }
    if (!good || std::ferror(file_) != 0) {
        fail(errno);
        return false;
    }
    // Further pages of a report still being laid out go after these.
    if (std::fseek(file_, 0, SEEK_END) != 0) {
        fail(errno);
        return false;
    }
    return true;
}

} // namespace tessaly

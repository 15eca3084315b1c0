#pragma once

#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace tessaly::test {

// The output of `pdftotext OPTION pdf out`; empty when the file cannot be read.
inline std::string pdftotext(const std::string& option, const std::string& pdf,
                             const std::string& out)
{
    std::vector<std::string> words = {"pdftotext", option, pdf, out};
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    if (::posix_spawnp(&pid, "pdftotext", nullptr, nullptr, argv.data(), environ) != 0 ||
        ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return {};
    }
    std::ifstream in{out};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

// The text of a PDF file as `pdftotext -layout` lays it out; empty when the
// file cannot be read.
inline std::string pdfText(const std::string& pdf, const std::string& out)
{
    return pdftotext("-layout", pdf, out);
}

// A word of a PDF page and the left and right edges of its glyphs, in points.
struct PdfWord {
    std::string text;
    double left = 0;
    double right = 0;
};

// The words of a PDF file as `pdftotext -bbox` finds them, in its order.
inline std::vector<PdfWord> pdfWords(const std::string& pdf, const std::string& out)
{
    const std::string boxes = pdftotext("-bbox", pdf, out);
    const auto number = [](std::string_view line, std::string_view name) {
        const std::size_t at = line.find(name);
        return at == std::string_view::npos ? 0.0
                                            : std::stod(std::string{line.substr(at + name.size())});
    };
    std::vector<PdfWord> words;
    for (std::size_t at = boxes.find("<word "); at != std::string::npos;
         at = boxes.find("<word ", at + 1)) {
        const std::string_view line =
            std::string_view{boxes}.substr(at, boxes.find("</word>", at) - at);
        const std::size_t close = line.find('>');
        words.push_back({std::string{line.substr(close + 1)}, number(line, "xMin=\""),
                         number(line, "xMax=\"")});
    }
    return words;
}

} // namespace tessaly::test

#pragma once

#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace tessaly::test {

// The text of a PDF file as `pdftotext -layout` lays it out; empty when the
// file cannot be read.
inline std::string pdfText(const std::string& pdf, const std::string& out)
{
    std::vector<std::string> words = {"pdftotext", "-layout", pdf, out};
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

} // namespace tessaly::test

// Printing 100,000 bookmarks: tessaly-cli report "URLs by Category" to a
// PDF file, a process of its own, against writing the same rows in the
// same key order as plain text (tessaly-cli export ascii --order catdesc).
// The same report of 10,000 bookmarks shows that memory does not grow with
// the file: pages are laid out as records are read.
#include <cstdio>
#include <filesystem>
#include <string>

#include "bookmark_source.h"
#include "child_process.h"

namespace {

using namespace tessaly::bench;

double megabytes(const std::string& path)
{
    return static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
}

bool load(const std::string& cli, const ScratchFolder& data, const ScratchFolder& files,
          int folders)
{
    const std::string source = files.path + "/source" + std::to_string(folders) + ".html";
    writeBookmarkSource(source, folders);
    return runProgram({cli, "--data", data.path, "import", "netscape", source}).status == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string cli = argc > 1 ? argv[1] : TESSALY_CLI_PATH;
    ScratchFolder files;
    ScratchFolder large;
    ScratchFolder small;
    if (!load(cli, large, files, kSourceFolders) || !load(cli, small, files, kSourceFolders / 10)) {
        std::printf("tessaly-cli import failed\n");
        return 1;
    }
    const std::string pdf = files.path + "/report.pdf";
    const std::string text = files.path + "/rows.txt";
    const std::string smallPdf = files.path + "/small.pdf";
    const Run report =
        runProgram({cli, "--data", large.path, "report", "URLs by Category", "--pdf", pdf});
    const Run plain =
        runProgram({cli, "--data", large.path, "export", "ascii", text, "--order", "catdesc"});
    const Run smaller =
        runProgram({cli, "--data", small.path, "report", "URLs by Category", "--pdf", smallPdf});
    if (report.status != 0 || plain.status != 0 || smaller.status != 0) {
        std::printf("tessaly-cli report or export failed\n");
        return 1;
    }
    std::printf("report of %d bookmarks                 seconds     MiB      MB   ratio\n",
                kSourceBookmarks);
    std::printf("%-38s %7.2f %7.1f %7.1f\n", "report \"URLs by Category\" --pdf", report.seconds,
                report.mib, megabytes(pdf));
    std::printf("%-38s %7.2f %7.1f %7.1f %7.2f  (report / plain text)\n",
                "export ascii --order catdesc", plain.seconds, plain.mib, megabytes(text),
                report.seconds / plain.seconds);
    std::printf("%-38s %7.2f %7.1f %7.1f %7.2f  (MiB of 100,000 / MiB of 10,000)\n",
                "the same report of 10,000 bookmarks", smaller.seconds, smaller.mib,
                megabytes(smallPdf), report.mib / smaller.mib);
    std::printf("%-38s %7s %7.2f %7s  (report MiB / plain text MiB)\n", "peak memory ratio", "",
                report.mib / plain.mib, "");
    return 0;
}

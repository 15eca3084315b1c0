// Bounded fuzzing inside the test run: mutated bookmark files, pages, CSV
// and browser files import without a crash and store only sound text. The
// libFuzzer target tests/fuzz/import_fuzzer runs the same check unbounded.
#include "fuzz_checks.h"
#include "import_fuzz_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace tessaly {
namespace {

TEST(ImportFuzz, MutatedSourcesNeverCrashOrStoreBrokenText)
{
    const std::vector<std::string> seeds = {
        "<DL><p>\n<DT><H3 ADD_DATE=\"1\">F &amp; G</H3>\n<DL><p>\n<DT><A HREF=\"http://a/\" "
        "TAGS=\"x,y\">A</A>\n<DD>info<BR>\n</DL><p>\n<HR><DT><A HREF='#x'>B</A>\n</DL>\n",
        "<html><a href=\"http://p/\">1. Page</a> text <table><a href=x>y</a></table>\n",
        "\"Cat\",\"http://c/\",\"D \"\"q\"\"\",\"S\n2\",5\r\n\"A\",\"B\",\"C\",15\r\n",
        "see http://t/ and <a href=\"ftp://u/\">u</a> news://v, gopher://w\n",
        "{\"roots\":{\"bookmark_bar\":{\"type\":\"folder\",\"children\":[{\"type\":\"url\","
        "\"name\":\"n\",\"url\":\"http://j/\"}]}}}",
    };
    std::mt19937 random{20261207};
    for (int i = 0; i < 150; ++i) {
        test::checkImportOf(mutateInput(seeds[static_cast<std::size_t>(i) % seeds.size()], random,
                                        "<>\"'=&#;/ :.,\r\n{}[]HREFDLH3ahref\xC3\xA9\xFF", 8192));
    }
}

TEST(ImportFuzz, TheSeedsOfTheFuzzTargetImportSoundly)
{
    // The hostile sources the libFuzzer target starts from, each as it is.
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator{TESSALY_IMPORT_SEEDS}) {
        std::ifstream in{entry.path(), std::ios::binary};
        const std::string seed{std::istreambuf_iterator<char>{in},
                               std::istreambuf_iterator<char>{}};
        test::checkImportOf(seed);
        ++seeds;
    }
    EXPECT_GE(seeds, 10);
}

} // namespace
} // namespace tessaly

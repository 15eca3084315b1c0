// Bounded fuzzing inside the test run: mutated filters and INI texts must
// come back as results or clear errors, never as crashes or hangs. The
// libFuzzer targets in tests/fuzz run the same checks without a bound.
#include "fuzz_checks.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tessaly {
namespace {

constexpr std::string_view kAlphabet =
    "()',=<>-@:ANDORNOTUPPERSUBINSTRINGFORMATurl:Rating 0123456789'\xC3\xA9[]\r\n;#";

std::string mutate(std::string input, std::mt19937& random)
{
    return mutateInput(std::move(input), random, kAlphabet, 4096);
}

TEST(Fuzz, FiltersNeverCrash)
{
    const std::vector<std::string> seeds = {
        "URL:Category = 'News' AND URL:Rating >= 5",
        "INSTRING('linux', LOWER(URL:Description), 1, 1) > 0 OR SUB(URL:Location, 1, 7) = "
        "'http://'",
        "FORMAT(URL:LastVisit, @d17) = '12/7/2026' AND NOT (URL:Rating <> 2)",
        "-URL:Rating,UPPER(URL:Description),UPPER(URL:Location)",
    };
    std::mt19937 random{20261207};
    for (int i = 0; i < 20000; ++i) {
        const std::string input = mutate(seeds[static_cast<std::size_t>(i) % seeds.size()], random);
        checkExpressionText(input);
    }
}

TEST(Fuzz, IniTextsNeverCrashAndSurviveARewrite)
{
    const std::vector<std::string> seeds = {
        "[Settings]\nBodyInFrame=2\n; comment\n[BrowseTESSLY]\nSRCF?Browse:1=x\n",
        "[InternetShortcut]\r\nURL=http://example.com/?a=b\r\n",
    };
    std::mt19937 random{7};
    for (int i = 0; i < 20000; ++i) {
        const std::string input = mutate(seeds[static_cast<std::size_t>(i) % seeds.size()], random);
        checkIniText(input);
    }
}

} // namespace
} // namespace tessaly

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

std::string mutate(std::string input, std::mt19937& random)
{
    static const std::string alphabet =
        "()',=<>-@:ANDORNOTUPPERSUBINSTRINGFORMATurl:Rating 0123456789'\xC3\xA9[]\r\n;#";
    const int edits = 1 + static_cast<int>(random() % 6);
    for (int i = 0; i < edits; ++i) {
        const std::size_t at = input.empty() ? 0 : random() % (input.size() + 1);
        switch (random() % 4) {
        case 0:
            input.insert(at, 1, alphabet[random() % alphabet.size()]);
            break;
        case 1:
            if (!input.empty() && at < input.size()) {
                input.erase(at, 1 + random() % 4);
            }
            break;
        case 2:
            if (!input.empty() && at < input.size()) {
                input[at] = static_cast<char>(random() % 256);
            }
            break;
        default:
            input.insert(at, input.substr(0, random() % (input.size() + 1)));
            if (input.size() > 4096) {
                input.resize(4096);
            }
            break;
        }
    }
    return input;
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

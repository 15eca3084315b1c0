#include "framework/dates.h"
#include "framework/picture.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

// Pins @d17 to a known pattern for the test's life and restores the default.
class ShortDatePattern {
public:
    explicit ShortDatePattern(std::string pattern) { setShortDatePattern(std::move(pattern)); }
    ~ShortDatePattern() { setShortDatePattern({}); }
    ShortDatePattern(const ShortDatePattern&) = delete;
    ShortDatePattern& operator=(const ShortDatePattern&) = delete;
};

const std::int32_t kDec7 = dates::dayNumber(2026, 12, 7);

TEST(Picture, DatePictures)
{
    const ShortDatePattern pattern{"M/d/yyyy"};
    EXPECT_EQ(format(kDec7, "@d17"), "12/7/2026");
    EXPECT_EQ(format(kDec7, "@d17b"), "12/7/2026");
    EXPECT_EQ(format(0, "@d17b"), "");
    EXPECT_EQ(format(0, "@d17"), "") << "0 is no date, not 28 December 1800";
    EXPECT_EQ(format(kDec7, "@d4"), "December 7, 2026");
    EXPECT_EQ(format(kDec7, "@D4"), "December 7, 2026");
    EXPECT_EQ(format(dates::dayNumber(1999, 3, 15), "@d2"), "03/15/1999");
    EXPECT_EQ(format(dates::dayNumber(1999, 3, 15), "@d6"), "15/03/1999");
    EXPECT_EQ(format(dates::dayNumber(1999, 3, 15), "@d3"), "Mar 15, 1999");
}

TEST(Picture, ShortDateFollowsTheLocalePattern)
{
    {
        const ShortDatePattern german{patternFromStrftime("%d.%m.%Y")};
        EXPECT_EQ(format(kDec7, "@d17"), "07.12.2026");
    }
    {
        const ShortDatePattern iso{patternFromStrftime("%F")};
        EXPECT_EQ(format(kDec7, "@d17"), "2026-12-07");
    }
    {
        const ShortDatePattern words{patternFromStrftime("%e %B %Y day")};
        EXPECT_EQ(format(kDec7, "@d17"), "7 December 2026 day") << "literal letters are quoted";
    }
    EXPECT_FALSE(shortDatePattern().empty());
}

TEST(Picture, TimePictures)
{
    EXPECT_EQ(format(dates::clockTime(17, 5), "@T3"), "5:05 PM");
    EXPECT_EQ(format(dates::clockTime(0, 30), "@t3"), "12:30 AM");
    EXPECT_EQ(format(dates::clockTime(12, 0), "@T3"), "12:00 PM");
    EXPECT_EQ(format(dates::clockTime(9, 7, 3), "@t4"), "09:07:03");
    EXPECT_EQ(format(0, "@T3"), "");
}

TEST(Picture, NumberPictures)
{
    EXPECT_EQ(format(2, "@n3"), "2");
    EXPECT_EQ(format(255, "@n3"), "255");
    EXPECT_EQ(format(7, "@N2"), "7");
    EXPECT_EQ(format(0, "@N2"), "0");
    EXPECT_EQ(format(0, "@N2b"), "");
    EXPECT_EQ(format(0, "@n2b"), "");
    EXPECT_EQ(format(9, "@N2b"), "9");
    EXPECT_EQ(format(1234567, "@n-14"), "1,234,567");
    EXPECT_EQ(format(-1234567, "@n-14"), "-1,234,567");
    EXPECT_EQ(format(0, "@n-14"), "0");
    EXPECT_EQ(format(0, "@n-14b"), "");
    EXPECT_EQ(format(512, "@n-14b"), "512");
    EXPECT_EQ(format(100, "@N2"), "##") << "a value too wide for its picture";
    EXPECT_EQ(format(3.14159, "@n6.2"), "3.14");
}

TEST(Picture, StringPicturesCutAtTheirWidth)
{
    EXPECT_EQ(format(std::string_view{"abcdef"}, "@s4"), "abcd");
    EXPECT_EQ(format(std::string_view{"ünïcödé"}, "@S3"), "ünï");
    EXPECT_EQ(format(std::string_view{"short"}, "@s255"), "short");
    EXPECT_EQ(format(std::string_view{"42"}, "@n3"), "42") << "texts under number pictures";
}

TEST(Picture, InvalidPicturesAreRecognised)
{
    for (const char* bad :
         {"", "@", "d17", "@x5", "@s", "@s0", "@d99", "@t2", "@n", "@s5x", "@n5.", "@d17bb"}) {
        EXPECT_FALSE(Picture::parse(bad).valid()) << bad;
    }
    EXPECT_EQ(format(std::string_view{"as is"}, "@zz"), "as is");
}

TEST(Picture, ParsesTypedNumbersAndDates)
{
    EXPECT_EQ(parseNumber("1,234,567"), 1234567.0);
    EXPECT_EQ(parseNumber(" -12 "), -12.0);
    EXPECT_EQ(parseNumber("12-"), -12.0);
    EXPECT_EQ(parseNumber("0.5"), 0.5);
    EXPECT_FALSE(parseNumber("12a"));
    EXPECT_FALSE(parseNumber(""));
    EXPECT_FALSE(parseNumber("-"));

    const ShortDatePattern pattern{"M/d/yyyy"};
    const Picture d17 = Picture::parse("@d17");
    EXPECT_EQ(parseDate("12/7/2026", d17, 2026), kDec7);
    EXPECT_EQ(parseDate("12-07-26", d17, 2026), kDec7);
    EXPECT_EQ(parseDate("1/2/70", d17, 2026), dates::dayNumber(1970, 1, 2));
    EXPECT_EQ(parseDate("2/30/2026", d17, 2026), 0);
    EXPECT_EQ(parseDate("12/7", d17, 2026), 0);
    EXPECT_EQ(parseDate("December 7, 2026", Picture::parse("@d4"), 2026), kDec7);
    EXPECT_EQ(parseDate("dec 7 2026", d17, 2026), kDec7);
    EXPECT_EQ(parseDate("Smarch 7 2026", d17, 2026), 0);
}

} // namespace
} // namespace tessaly

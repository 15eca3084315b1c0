#include "framework/dates.h"

#include <gtest/gtest.h>

namespace tessaly::dates {
namespace {

TEST(Dates, FixedPointsOfTheDayCount)
{
    EXPECT_EQ(dayNumber(1801, 1, 1), 4);
    EXPECT_EQ(civilDate(4), (CivilDate{1801, 1, 1}));
    EXPECT_EQ(dayNumber(1992, 8, 23), 70000) << "the EXPIRES threshold of the page scanner";
    EXPECT_EQ(dayNumber(9999, 12, 31), kLastDay);
    EXPECT_EQ(civilDate(0), CivilDate{}) << "0 is no date";
    EXPECT_EQ(civilDate(3), CivilDate{});
}

TEST(Dates, RoundTripEveryDayFrom1801To2100WithSundaysOnMultiplesOfSeven)
{
    std::int32_t expected = kFirstDay;
    for (int year = 1801; year <= 2100; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= 31; ++day) {
                const std::int32_t number = dayNumber(year, month, day);
                if (number == 0) {
                    continue; // 30 February and the like
                }
                ASSERT_EQ(number, expected) << year << '-' << month << '-' << day;
                ASSERT_EQ(civilDate(number), (CivilDate{year, month, day}));
                ++expected;
            }
        }
    }
    EXPECT_EQ(civilDate(expected), (CivilDate{2101, 1, 1}));
    // 7 December 2026 is a Monday; 6 December 2026 a Sunday.
    EXPECT_EQ(dayNumber(2026, 12, 6) % 7, 0);
    EXPECT_EQ(weekday(dayNumber(2026, 12, 7)), 1);
    EXPECT_EQ(dayName(dayNumber(2026, 12, 6)), "Sunday");
    EXPECT_EQ(dayName(dayNumber(2026, 12, 9)), "Wednesday");
    EXPECT_EQ(dayName(dayNumber(2026, 12, 12)), "Saturday") << "no trailing blanks";
}

TEST(Dates, RejectsDatesThatDoNotExist)
{
    EXPECT_EQ(dayNumber(1900, 2, 29), 0) << "1900 was no leap year";
    EXPECT_NE(dayNumber(2000, 2, 29), 0);
    EXPECT_EQ(dayNumber(2023, 13, 1), 0);
    EXPECT_EQ(dayNumber(2023, 4, 31), 0);
    EXPECT_EQ(dayNumber(1800, 12, 31), 0);
}

TEST(Dates, ReadsTheDatePartOfHttpDates)
{
    EXPECT_EQ(parseHttpDate("Tue, 15 Nov 1994 08:12:31 GMT"), dayNumber(1994, 11, 15));
    EXPECT_EQ(parseHttpDate("sun, 06 nov 1994 08:49:37 gmt"), dayNumber(1994, 11, 6));
    EXPECT_EQ(parseDayMonthYear("01 JAN 2030"), dayNumber(2030, 1, 1));
    EXPECT_EQ(parseDayMonthYear("1-Feb-2024"), dayNumber(2024, 2, 1));
    EXPECT_EQ(parseHttpDate("0"), 0) << "Expires: 0 means already expired, not a date";
    EXPECT_EQ(parseHttpDate("Thu, 31 Feb 2024 00:00:00 GMT"), 0);
    EXPECT_EQ(parseHttpDate("Tue, 15 Xyz 1994 08:12:31 GMT"), 0);
    EXPECT_EQ(parseHttpDate("Tue, 15 Nov 94"), 0);
    EXPECT_EQ(parseHttpDate(""), 0);
}

TEST(Dates, ClockTimesCountHundredthsPlusOne)
{
    EXPECT_EQ(clockTime(0, 0), 1);
    EXPECT_EQ(clockTime(17, 30), (17 * 3600 + 30 * 60) * 100 + 1);
}

} // namespace
} // namespace tessaly::dates

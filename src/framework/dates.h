#pragma once

#include <cstdint>
#include <string_view>

// Day-number dates: the count of days since 28 December 1800, so that day 4
// is 1 January 1801 and every multiple of 7 is a Sunday; 0 means "no date".
// Clock times count hundredths of a second since midnight plus one; 0 means
// "no time".
namespace tessaly::dates {

struct CivilDate {
    int year = 0;
    int month = 0; // 1..12
    int day = 0;   // 1..31
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

constexpr std::int32_t kFirstDay = 4;      // 1 January 1801
constexpr std::int32_t kLastDay = 2994626; // 31 December 9999

// Day number of a calendar date; 0 when the date does not exist or lies
// outside 1801..9999.
std::int32_t dayNumber(int year, int month, int day);
inline std::int32_t dayNumber(CivilDate d)
{
    return dayNumber(d.year, d.month, d.day);
}

// True for day numbers that name a date (kFirstDay..kLastDay).
bool isValidDay(std::int32_t day);

// Calendar date of a day number; all zero for 0 or an invalid number.
CivilDate civilDate(std::int32_t day);

// 0 Sunday .. 6 Saturday.
int weekday(std::int32_t day);

// The English day name ("Sunday".."Saturday") of a day number, taken from the
// 63-character day-name table; empty for an invalid day.
std::string_view dayName(std::int32_t day);

// English month names, 1..12; empty outside.
std::string_view monthName(int month);

// The local calendar's date now.
std::int32_t today();

// Clock time from hours, minutes, seconds and hundredths.
std::int32_t clockTime(int hours, int minutes, int seconds = 0, int hundredths = 0);

// Reads "day, three-letter English month, four-digit year" as an HTTP date
// carries it in characters 6 to 16 ("15 NOV 1994", any letter case); blanks
// or hyphens may separate the parts. 0 when the text is not such a date.
std::int32_t parseDayMonthYear(std::string_view text);

// Reads an HTTP date of the RFC 1123 form ("Tue, 15 Nov 1994 08:12:31 GMT")
// the way the link test does: upper case, characters 6 to 16. 0 on failure.
std::int32_t parseHttpDate(std::string_view value);

} // namespace tessaly::dates

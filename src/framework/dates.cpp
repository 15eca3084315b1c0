#include "framework/dates.h"

#include "framework/text.h"

#include <array>
#include <cctype>
#include <ctime>
#include <string>

namespace tessaly::dates {

namespace {

// Howard Hinnant's days-from-civil: days since 1970-01-01 of a proleptic
// Gregorian date.
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr std::int64_t kEpoch = daysFromCivil(1800, 12, 28); // day 0

constexpr std::string_view kDayNames =
    "Sunday   Monday   Tuesday  WednesdayThursday Friday   Saturday ";
static_assert(kDayNames.size() == 63);

constexpr std::array<std::string_view, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

bool isLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[static_cast<std::size_t>(month - 1)];
}

} // namespace

std::int32_t dayNumber(int year, int month, int day)
{
    if (year < 1801 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month)) {
        return 0;
    }
    return static_cast<std::int32_t>(
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpoch);
}

bool isValidDay(std::int32_t day)
{
    return day >= kFirstDay && day <= kLastDay;
}

CivilDate civilDate(std::int32_t day)
{
    if (!isValidDay(day)) {
        return {};
    }
    // Hinnant's civil-from-days.
    const std::int64_t z = day + kEpoch + 719468;
    const std::int64_t era = z / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const auto y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0));
    return {y, static_cast<int>(m), static_cast<int>(d)};
}

int weekday(std::int32_t day)
{
    return ((day % 7) + 7) % 7;
}

std::string_view dayName(std::int32_t day)
{
    if (!isValidDay(day)) {
        return {};
    }
    const auto index = static_cast<std::size_t>(weekday(day));
    return text::clip(kDayNames.substr(index * 9, 9));
}

std::string_view monthName(int month)
{
    if (month < 1 || month > 12) {
        return {};
    }
    return kMonthNames[static_cast<std::size_t>(month - 1)];
}

std::int32_t clockTime(int hours, int minutes, int seconds, int hundredths)
{
    return ((hours * 60 + minutes) * 60 + seconds) * 100 + hundredths + 1;
}

std::int32_t parseDayMonthYear(std::string_view textIn)
{
    const std::string value = text::upper(text::trim(textIn));
    std::size_t pos = 0;
    auto skipSeparators = [&] {
        while (pos < value.size() && (value[pos] == ' ' || value[pos] == '-')) {
            ++pos;
        }
    };
    auto readNumber = [&](std::size_t maxDigits) {
        int number = 0;
        std::size_t digits = 0;
        while (pos < value.size() && digits < maxDigits &&
               std::isdigit(static_cast<unsigned char>(value[pos])) != 0) {
            number = number * 10 + (value[pos] - '0');
            ++pos;
            ++digits;
        }
        return digits == 0 ? -1 : number;
    };
    const int day = readNumber(2);
    skipSeparators();
    if (day < 0 || pos + 3 > value.size()) {
        return 0;
    }
    const std::string_view monthText = std::string_view{value}.substr(pos, 3);
    pos += 3;
    int month = 0;
    for (int m = 1; m <= 12; ++m) {
        if (text::upper(monthName(m).substr(0, 3)) == monthText) {
            month = m;
        }
    }
    skipSeparators();
    const std::size_t yearStart = pos;
    const int year = readNumber(4);
    if (month == 0 || year < 0 || pos - yearStart != 4) {
        return 0;
    }
    return dayNumber(year, month, day);
}

std::int32_t parseHttpDate(std::string_view value)
{
    const std::string upper = text::upper(value);
    if (upper.size() < 6) {
        return 0;
    }
    return parseDayMonthYear(std::string_view{upper}.substr(5, 11));
}

std::int32_t today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return dayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

} // namespace tessaly::dates

#include "framework/picture.h"

#include "framework/dates.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <langinfo.h>
#include <locale.h>
#include <mutex>
#include <vector>

namespace tessaly {

namespace {

bool isDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Reads the digits at `pos` as a number; -1 when there are none.
int readDigits(std::string_view s, std::size_t& pos)
{
    int value = -1;
    while (pos < s.size() && isDigit(s[pos])) {
        value = (value < 0 ? 0 : value) * 10 + (s[pos] - '0');
        if (value > 100000) {
            return -1; // no picture is that wide
        }
        ++pos;
    }
    return value;
}

std::string twoDigits(int value)
{
    std::string out;
    out.push_back(static_cast<char>('0' + (value / 10) % 10));
    out.push_back(static_cast<char>('0' + value % 10));
    return out;
}

// Formats a calendar date by a pattern of d/M/y runs.
std::string formatByPattern(const dates::CivilDate& date, std::int32_t day,
                            std::string_view pattern)
{
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'') {
            const auto end = pattern.find('\'', i + 1);
            const std::size_t stop = end == std::string_view::npos ? pattern.size() : end;
            out.append(pattern.substr(i + 1, stop - i - 1));
            i = stop + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) {
            ++run;
        }
        if (c == 'd') {
            if (run >= 3) {
                const std::string_view name = dates::dayName(day);
                out.append(run == 3 ? name.substr(0, 3) : name);
            } else {
                out.append(run == 2 ? twoDigits(date.day) : std::to_string(date.day));
            }
        } else if (c == 'M') {
            const std::string_view name = dates::monthName(date.month);
            if (run >= 4) {
                out.append(name);
            } else if (run == 3) {
                out.append(name.substr(0, 3));
            } else {
                out.append(run == 2 ? twoDigits(date.month) : std::to_string(date.month));
            }
        } else if (c == 'y') {
            out.append(run <= 2 ? twoDigits(date.year % 100) : std::to_string(date.year));
        } else {
            out.append(run, c);
        }
        i += run;
    }
    return out;
}

std::string_view patternForStyle(int style, std::string& storage)
{
    switch (style) {
    case 1:
        return "MM/dd/yy";
    case 2:
        return "MM/dd/yyyy";
    case 3:
        return "MMM d, yyyy";
    case 4:
        return "MMMM d, yyyy";
    case 5:
        return "dd/MM/yy";
    case 6:
        return "dd/MM/yyyy";
    case 17:
        storage = shortDatePattern();
        return storage;
    default:
        return {};
    }
}

std::string formatDate(std::int32_t day, int style)
{
    if (!dates::isValidDay(day)) {
        return {}; // 0 is "no date", whatever the picture
    }
    std::string storage;
    return formatByPattern(dates::civilDate(day), day, patternForStyle(style, storage));
}

std::string formatTime(std::int32_t time, int style)
{
    if (time <= 0 || time > 8640000) {
        return {};
    }
    const int hundredths = time - 1;
    const int hours = hundredths / 360000;
    const int minutes = hundredths / 6000 % 60;
    const int seconds = hundredths / 100 % 60;
    const bool twelveHour = style == 3 || style == 6;
    const bool withSeconds = style == 4 || style == 6;
    std::string out;
    if (twelveHour) {
        const int shown = hours % 12 == 0 ? 12 : hours % 12;
        out = std::to_string(shown);
    } else {
        out = twoDigits(hours);
    }
    out += ':' + twoDigits(minutes);
    if (withSeconds) {
        out += ':' + twoDigits(seconds);
    }
    if (twelveHour) {
        out += hours < 12 ? " AM" : " PM";
    }
    return out;
}

std::string groupDigits(std::string_view digits)
{
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) {
            out.push_back(',');
        }
        out.push_back(digits[i]);
    }
    return out;
}

std::string formatPlainNumber(double value, const Picture& picture)
{
    const double scale = std::pow(10.0, picture.places);
    const double rounded = std::round(std::fabs(value) * scale) / scale;
    if (picture.blankWhenZero && rounded == 0.0) {
        return {};
    }
    if (!std::isfinite(rounded) || rounded >= 1e18) {
        return std::string(static_cast<std::size_t>(picture.width > 0 ? picture.width : 1), '#');
    }
    const auto units = static_cast<long long>(rounded * scale + 0.5);
    const auto divisor = static_cast<long long>(scale);
    std::string out = (value < 0 && rounded != 0.0) ? "-" : "";
    out += groupDigits(std::to_string(units / divisor));
    if (picture.places > 0) {
        std::string fraction = std::to_string(units % divisor);
        fraction.insert(0, static_cast<std::size_t>(picture.places) - fraction.size(), '0');
        out += '.' + fraction;
    }
    if (picture.width > 0 && out.size() > static_cast<std::size_t>(picture.width)) {
        return std::string(static_cast<std::size_t>(picture.width), '#');
    }
    return out;
}

int fullYear(int twoDigitYear, int todayYear)
{
    const int last = todayYear + 20;
    int year = last / 100 * 100 + twoDigitYear;
    if (year > last) {
        year -= 100;
    }
    return year;
}

std::mutex patternMutex;
std::string currentPattern; // empty until first asked for or set

std::string patternFromLocale()
{
    const locale_t locale = newlocale(LC_TIME_MASK, "", locale_t{});
    if (locale == locale_t{}) {
        return "MM/dd/yyyy";
    }
    const std::string format = nl_langinfo_l(D_FMT, locale);
    freelocale(locale);
    // The POSIX locale's "%m/%d/%y" is no choice of the user's; show the year whole.
    if (format.empty() || format == "%m/%d/%y") {
        return "MM/dd/yyyy";
    }
    return patternFromStrftime(format);
}

} // namespace

Picture Picture::parse(std::string_view picture)
{
    Picture result;
    picture = text::trim(picture);
    if (picture.size() < 2 || picture[0] != '@') {
        return result;
    }
    const char kind = static_cast<char>(std::tolower(static_cast<unsigned char>(picture[1])));
    std::size_t pos = 2;
    Picture p;
    switch (kind) {
    case 's':
        p.kind = Kind::Text;
        p.width = readDigits(picture, pos);
        if (p.width <= 0 || pos != picture.size()) {
            return result;
        }
        return p;
    case 'n':
        p.kind = Kind::Number;
        if (pos < picture.size() && picture[pos] == '-') {
            ++pos;
        }
        p.width = readDigits(picture, pos);
        if (p.width <= 0) {
            return result;
        }
        if (pos < picture.size() && picture[pos] == '.') {
            ++pos;
            p.places = readDigits(picture, pos);
            if (p.places < 0 || p.places > 9) {
                return result;
            }
        }
        break;
    case 'd':
    case 't':
        p.kind = kind == 'd' ? Kind::Date : Kind::Time;
        p.style = readDigits(picture, pos);
        if (p.style < 0) {
            return result;
        }
        if (kind == 'd') {
            std::string storage;
            if (patternForStyle(p.style, storage).empty()) {
                return result;
            }
        } else if (p.style != 1 && p.style != 3 && p.style != 4 && p.style != 6) {
            return result;
        }
        break;
    default:
        return result;
    }
    if (pos < picture.size() && (picture[pos] == 'b' || picture[pos] == 'B')) {
        p.blankWhenZero = true;
        ++pos;
    }
    return pos == picture.size() ? p : result;
}

std::string formatNumber(double value, const Picture& picture)
{
    switch (picture.kind) {
    case Picture::Kind::Number:
        return formatPlainNumber(value, picture);
    case Picture::Kind::Date:
        return std::isfinite(value) ? formatDate(static_cast<std::int32_t>(value), picture.style)
                                    : std::string{};
    case Picture::Kind::Time:
        return std::isfinite(value) ? formatTime(static_cast<std::int32_t>(value), picture.style)
                                    : std::string{};
    case Picture::Kind::Text: {
        std::string out = formatPlainNumber(value, Picture{Picture::Kind::Number, 0, 0, 0, false});
        out.erase(std::remove(out.begin(), out.end(), ','), out.end());
        return std::string{utf8::prefix(out, static_cast<std::size_t>(picture.width))};
    }
    case Picture::Kind::Invalid:
        break;
    }
    return formatPlainNumber(value, Picture{Picture::Kind::Number, 0, 0, 0, false});
}

std::string formatText(std::string_view value, const Picture& picture)
{
    switch (picture.kind) {
    case Picture::Kind::Text:
        return std::string{utf8::prefix(value, static_cast<std::size_t>(picture.width))};
    case Picture::Kind::Invalid:
        return std::string{value};
    default:
        return formatNumber(parseNumber(value).value_or(0.0), picture);
    }
}

std::string format(double value, std::string_view picture)
{
    return formatNumber(value, Picture::parse(picture));
}

std::string format(std::string_view value, std::string_view picture)
{
    return formatText(value, Picture::parse(picture));
}

std::optional<double> parseNumber(std::string_view input)
{
    std::string digits;
    bool negative = false;
    input = text::trim(input);
    if (!input.empty() && input.front() == '-') {
        negative = true;
        input.remove_prefix(1);
    } else if (!input.empty() && input.back() == '-') {
        negative = true;
        input.remove_suffix(1);
    } else if (!input.empty() && input.front() == '+') {
        input.remove_prefix(1);
    }
    for (const char c : input) {
        if (c == ',' || c == ' ') {
            continue;
        }
        if (!isDigit(c) && c != '.') {
            return std::nullopt;
        }
        digits.push_back(c);
    }
    if (digits.empty() || digits == ".") {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::int32_t parseDate(std::string_view input, const Picture& picture, int todayYear)
{
    if (picture.kind != Picture::Kind::Date) {
        return 0;
    }
    std::string storage;
    const std::string_view pattern = patternForStyle(picture.style, storage);
    // The order in which the pattern names day, month and year.
    std::vector<char> order;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\'') {
            const auto end = pattern.find('\'', i + 1);
            i = end == std::string_view::npos ? pattern.size() : end;
        } else if ((c == 'd' || c == 'M' || c == 'y') &&
                   std::find(order.begin(), order.end(), c) == order.end()) {
            order.push_back(c);
        }
    }
    std::vector<std::pair<int, std::size_t>> numbers; // value and digit count
    int namedMonth = 0;
    const std::string upper = text::upper(input);
    for (std::size_t i = 0; i < upper.size();) {
        if (isDigit(upper[i])) {
            std::size_t start = i;
            int value = readDigits(upper, i);
            if (value < 0) {
                return 0;
            }
            numbers.emplace_back(value, i - start);
        } else if (std::isalpha(static_cast<unsigned char>(upper[i])) != 0) {
            std::size_t start = i;
            while (i < upper.size() && std::isalpha(static_cast<unsigned char>(upper[i])) != 0) {
                ++i;
            }
            const std::string_view word = std::string_view{upper}.substr(start, i - start);
            for (int m = 1; m <= 12 && word.size() >= 3; ++m) {
                if (text::upper(dates::monthName(m)).starts_with(word)) {
                    namedMonth = m;
                }
            }
            if (namedMonth == 0) {
                return 0;
            }
        } else {
            ++i;
        }
    }
    if (namedMonth != 0) {
        order.erase(std::remove(order.begin(), order.end(), 'M'), order.end());
    }
    if (numbers.size() != order.size() || order.empty()) {
        return 0;
    }
    int day = 0;
    int month = namedMonth;
    int year = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto [value, digits] = numbers[i];
        if (order[i] == 'd') {
            day = value;
        } else if (order[i] == 'M') {
            month = value;
        } else {
            year = digits <= 2 ? fullYear(value, todayYear) : value;
        }
    }
    return dates::dayNumber(year, month, day);
}

std::string shortDatePattern()
{
    const std::lock_guard lock{patternMutex};
    if (currentPattern.empty()) {
        currentPattern = patternFromLocale();
    }
    return currentPattern;
}

void setShortDatePattern(std::string pattern)
{
    const std::lock_guard lock{patternMutex};
    currentPattern = pattern.empty() ? patternFromLocale() : std::move(pattern);
}

std::string patternFromStrftime(std::string_view format)
{
    std::string out;
    std::string literal;
    auto flushLiteral = [&] {
        if (literal.empty()) {
            return;
        }
        const bool needsQuotes = literal.find_first_of("dMy'") != std::string::npos;
        out += needsQuotes ? "'" + literal + "'" : literal;
        literal.clear();
    };
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            literal.push_back(format[i]);
            continue;
        }
        char conversion = format[++i];
        while ((conversion == 'E' || conversion == 'O' || conversion == '-') &&
               i + 1 < format.size()) {
            conversion = format[++i];
        }
        std::string_view token;
        switch (conversion) {
        case 'd':
            token = "dd";
            break;
        case 'e':
            token = "d";
            break;
        case 'm':
            token = "MM";
            break;
        case 'b':
        case 'h':
            token = "MMM";
            break;
        case 'B':
            token = "MMMM";
            break;
        case 'y':
            token = "yy";
            break;
        case 'Y':
            token = "yyyy";
            break;
        case 'a':
            token = "ddd";
            break;
        case 'A':
            token = "dddd";
            break;
        case 'F':
            token = "yyyy-MM-dd";
            break;
        case 'D':
            token = "MM/dd/yy";
            break;
        case '%':
            literal.push_back('%');
            continue;
        default:
            continue; // nothing a date shows
        }
        flushLiteral();
        out += token;
    }
    flushLiteral();
    return out;
}

} // namespace tessaly

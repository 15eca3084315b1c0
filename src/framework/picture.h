#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Display pictures: the formats in which lists, forms, queries and exports
// show a value. Supported forms:
//   @sN / @SN         text of N characters
//   @n[-]N[.P][b]     number of N characters with ',' grouping (a leading '-'
//                     marks the sign's place), P decimal places; 'b' leaves
//                     zero blank
//   @dN[b]            date of a day number: 1 mm/dd/yy, 2 mm/dd/yyyy,
//                     3 "Mon d, yyyy", 4 "Month d, yyyy", 5 dd/mm/yy,
//                     6 dd/mm/yyyy, 17 the user's short date format
//   @tN[b]            clock time: 1 hh:mm, 3 h:mm AM/PM, 4 hh:mm:ss,
//                     6 h:mm:ss AM/PM
// Letter case does not matter. Formatted values carry no padding; callers
// that align columns use Picture::width.
namespace tessaly {

struct Picture {
    enum class Kind { Invalid, Text, Number, Date, Time };

    Kind kind = Kind::Invalid;
    int width = 0;  // characters (text, number) or 0 where the style decides
    int places = 0; // decimal places of a number
    int style = 0;  // date or time style number
    bool blankWhenZero = false;

    // Reads a picture text; Kind::Invalid when it is none of the forms above.
    static Picture parse(std::string_view picture);
    bool valid() const { return kind != Kind::Invalid; }
};

// Formats a number (a day number for dates, a clock time for times).
std::string formatNumber(double value, const Picture& picture);

// Formats a text: cut to the width for text pictures; for the other kinds the
// text is read as a number first (a text that is no number shows as 0).
std::string formatText(std::string_view value, const Picture& picture);

// Convenience forms that parse the picture; an invalid picture gives the
// value unchanged.
std::string format(double value, std::string_view picture);
std::string format(std::string_view value, std::string_view picture);

// Reads a number as the user typed it: blanks and ',' grouping ignored, a
// leading or trailing '-' allowed. Empty when the text is no number.
std::optional<double> parseNumber(std::string_view text);

// Reads a date typed under a date picture (the picture's own order of day,
// month and year; month names accepted). Two-digit years fall in the hundred
// years that end twenty years after `todayYear`. 0 when it is no date.
std::int32_t parseDate(std::string_view text, const Picture& picture, int todayYear);

// The short date format that @d17 shows, as a pattern of d, dd, M, MM, MMM,
// MMMM, yy and yyyy with other characters literal ('quoted' text literal).
// Taken from the process's LC_TIME locale until set; the program sets it
// from the desktop's locale at start-up. Thread-safe.
std::string shortDatePattern();
void setShortDatePattern(std::string pattern);

// Turns a strftime date format ("%m/%d/%Y") into a pattern as above.
std::string patternFromStrftime(std::string_view format);

} // namespace tessaly

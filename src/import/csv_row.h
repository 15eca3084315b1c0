#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// One row of a comma-separated file, read a line at a time as RFC 4180 has
// it: fields split by commas; a field that begins with a quote (blanks
// before it passed over) may hold commas, line breaks and doubled quotes;
// other fields lose their leading and trailing blanks. A quote inside a
// quoted field that is neither doubled nor followed by a comma or the line's
// end is taken as a quote of the text ("Sony 55" screen" reads as meant).
// Such a stray quote in a row that runs over several lines makes the row
// unreadable: the quote that seemed to open a line break most likely never
// closed, and reading on would swallow the rows after it. A field is kept
// up to 1 MiB; a longer one makes the row unreadable too.
class CsvRow final {
public:
    static constexpr std::size_t kLongestField = std::size_t{1} << 20U;

    struct Field {
        std::string text;
        bool quoted = false;
    };

    // Reads `line`, its line end included (none at the file's end); true
    // when the row is complete, false while a quoted field is still open.
    bool feed(std::string_view line);
    // The row's fields once complete.
    const std::vector<Field>& fields() const { return fields_; }
    // A field of the row was longer than kLongestField.
    bool tooLong() const { return tooLong_; }
    // A stray quote in a row read over more than one line (see above).
    bool malformed() const { return strayQuote_ && lines_ > 1; }
    // A row of one blank line.
    bool blank() const;
    void clear();

private:
    enum class State { FieldStart, Unquoted, Quoted, QuoteSeen, QuoteBlanks };

    void append(char c);
    void endField();
    void takeQuoteAsText(char c);

    State state_ = State::FieldStart;
    std::vector<Field> fields_;
    Field field_;
    bool tooLong_ = false;
    bool strayQuote_ = false;
    std::string blanks_; // after a quote, until it is known to close the field
    int lines_ = 0;      // lines fed into the row
};

} // namespace tessaly

#include "import/csv_row.h"

#include <utility>

namespace tessaly {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

} // namespace

void CsvRow::append(char c)
{
    if (field_.text.size() < kLongestField) {
        field_.text += c;
    } else {
        tooLong_ = true;
    }
}

// The quote before `c` (and the blanks after it) was no closing quote but a
// quote of the text that was not doubled: the field goes on.
void CsvRow::takeQuoteAsText(char c)
{
    strayQuote_ = true;
    append('"');
    for (const char blank : std::exchange(blanks_, {})) {
        append(blank);
    }
    append(c);
    state_ = State::Quoted;
}

void CsvRow::endField()
{
    if (!field_.quoted) {
        while (!field_.text.empty() && isBlank(field_.text.back())) {
            field_.text.pop_back();
        }
    }
    fields_.push_back(std::move(field_));
    field_ = {};
    blanks_.clear();
    state_ = State::FieldStart;
}

bool CsvRow::feed(std::string_view line)
{
    ++lines_;
    for (const char c : line) {
        // Outside quotes a comma ends the field and a line end the row;
        // blanks between a closing quote and the comma are no text.
        if (state_ != State::Quoted && (c == ',' || isLineEnd(c))) {
            endField();
            if (isLineEnd(c)) {
                return true;
            }
            continue;
        }
        switch (state_) {
        case State::FieldStart:
            if (c == '"') {
                field_.quoted = true;
                state_ = State::Quoted;
            } else if (!isBlank(c)) {
                append(c);
                state_ = State::Unquoted;
            }
            break;
        case State::Quoted:
            if (c == '"') {
                state_ = State::QuoteSeen;
            } else {
                append(c);
            }
            break;
        case State::QuoteSeen:
            if (c == '"') {
                append(c); // a doubled quote is one quote of the text
                state_ = State::Quoted;
            } else if (isBlank(c)) {
                blanks_ = c;
                state_ = State::QuoteBlanks;
            } else {
                takeQuoteAsText(c);
            }
            break;
        case State::QuoteBlanks:
            if (isBlank(c)) {
                blanks_ += c;
            } else {
                takeQuoteAsText(c);
            }
            break;
        case State::Unquoted:
            append(c);
            break;
        }
    }
    if (state_ == State::Quoted) {
        return false;
    }
    endField(); // the last line of a file without a line end
    return true;
}

bool CsvRow::blank() const
{
    return fields_.size() == 1 && !fields_[0].quoted && fields_[0].text.empty();
}

void CsvRow::clear()
{
    state_ = State::FieldStart;
    fields_.clear();
    field_ = {};
    tooLong_ = false;
    strayQuote_ = false;
    blanks_.clear();
    lines_ = 0;
}

} // namespace tessaly

#include "import/csv_row.h"

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

void CsvRow::endField()
{
    if (!field_.quoted) {
        while (!field_.text.empty() && isBlank(field_.text.back())) {
            field_.text.pop_back();
        }
    }
    fields_.push_back(std::move(field_));
    field_ = {};
    state_ = State::FieldStart;
}

bool CsvRow::feed(std::string_view line)
{
    for (const char c : line) {
        switch (state_) {
        case State::FieldStart:
            if (c == '"') {
                field_.quoted = true;
                state_ = State::Quoted;
            } else if (c == ',') {
                endField();
            } else if (isLineEnd(c)) {
                endField();
                return true;
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
                break;
            }
            state_ = State::AfterQuote;
            [[fallthrough]];
        case State::Unquoted:
        case State::AfterQuote:
            if (c == ',') {
                endField();
            } else if (isLineEnd(c)) {
                endField();
                return true;
            } else {
                append(c);
            }
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
}

} // namespace tessaly

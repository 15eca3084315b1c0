#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace tessaly {

// A value met while evaluating a record expression: a number or a text. A
// text either views a record's field (no copy) or owns what a function made.
class Value {
public:
    Value() = default;

    static Value number(double n)
    {
        Value v;
        v.number_ = n;
        return v;
    }
    // Views `t`, which must outlive the value.
    static Value view(std::string_view t)
    {
        Value v;
        v.isText_ = true;
        v.view_ = t;
        return v;
    }
    static Value owned(std::string t)
    {
        Value v;
        v.isText_ = true;
        v.owns_ = true;
        v.owned_ = std::move(t);
        return v;
    }

    bool isText() const { return isText_; }
    double asNumber() const { return number_; }
    std::string_view asText() const { return owns_ ? std::string_view{owned_} : view_; }

    // The value as text, numbers written plainly ("12", "0.5").
    std::string toText() const;
    // The value as a number; a text that reads as no number is 0.
    double toNumber() const;
    // True for a non-zero number or a text that is not blank.
    bool truth() const;

private:
    bool isText_ = false;
    bool owns_ = false;
    double number_ = 0;
    std::string_view view_;
    std::string owned_;
};

// Orders two values: numbers by value, texts by character code with trailing
// blanks ignored; a text against a number compares as numbers when the text
// reads as one, otherwise as texts.
int compareValues(const Value& a, const Value& b);

// Gives expression evaluation the fields of the current record.
class FieldSource {
public:
    virtual ~FieldSource() = default;
    // The value of the field that the resolver numbered `index`.
    virtual Value field(int index) const = 0;
};

} // namespace tessaly

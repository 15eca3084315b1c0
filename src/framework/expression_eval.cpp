// Evaluates compiled record expressions against a record.
#include "framework/expression.h"

#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tessaly {

namespace {

std::optional<double> strictNumber(std::string_view t)
{
    t = text::trim(t);
    if (t.empty()) {
        return std::nullopt;
    }
    double value = 0;
    const char* begin = t.data();
    if (*begin == '+') {
        ++begin;
    }
    const auto [end, error] = std::from_chars(begin, t.data() + t.size(), value);
    if (error != std::errc{} || end != t.data() + t.size()) {
        return std::nullopt;
    }
    return value;
}

std::u32string decodeAll(std::string_view t)
{
    std::u32string out;
    for (std::size_t pos = 0; pos < t.size();) {
        out.push_back(utf8::decode(t, pos));
    }
    return out;
}

// 1-based character position of `sought` in `haystack`, trying the positions
// start, start + step, ...; 0 when not found.
template <typename String>
long long instring(const String& sought, const String& haystack, long long step, long long start)
{
    const auto n = static_cast<long long>(sought.size());
    const auto size = static_cast<long long>(haystack.size());
    if (n == 0) {
        return 0;
    }
    for (long long p = start; p >= 1 && p + n - 1 <= size; p += step) {
        if (haystack.compare(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(n),
                             sought) == 0) {
            return p;
        }
    }
    return 0;
}

long long toCount(const Value& v)
{
    const double d = v.toNumber();
    if (!std::isfinite(d)) {
        return 0;
    }
    return static_cast<long long>(std::clamp(d, -1e15, 1e15));
}

Value sub(const Value& textValue, const Value& startValue, const Value& lengthValue)
{
    const std::string whole = textValue.toText();
    const std::string_view t = text::clip(whole);
    const auto length = static_cast<long long>(utf8::length(t));
    long long start = toCount(startValue);
    const long long count = toCount(lengthValue);
    if (start < 0) {
        start = length + start + 1; // counted from the end
    }
    if (start < 1) {
        start = 1;
    }
    if (count <= 0 || start > length) {
        return Value::owned({});
    }
    return Value::owned(std::string{
        utf8::mid(t, static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count))});
}

Value instringCall(const Value& soughtValue, const Value& textValue, const Value& stepValue,
                   const Value& startValue)
{
    const std::string sought = soughtValue.toText();
    const std::string haystack = textValue.toText();
    long long step = toCount(stepValue);
    if (step <= 0) {
        step = 1;
    }
    const long long start = std::max(toCount(startValue), 1LL);
    if (text::isAscii(sought) && text::isAscii(haystack)) {
        return Value::number(static_cast<double>(instring(sought, haystack, step, start)));
    }
    return Value::number(
        static_cast<double>(instring(decodeAll(sought), decodeAll(haystack), step, start)));
}

bool compareResult(ExprNode::Op op, int c)
{
    switch (op) {
    case ExprNode::Op::Equal:
        return c == 0;
    case ExprNode::Op::NotEqual:
        return c != 0;
    case ExprNode::Op::Less:
        return c < 0;
    case ExprNode::Op::Greater:
        return c > 0;
    case ExprNode::Op::LessEqual:
        return c <= 0;
    case ExprNode::Op::GreaterEqual:
        return c >= 0;
    }
    return false;
}

Value evaluateNode(const ExprNode& node, const FieldSource& record);

Value callFunction(const ExprNode& node, const FieldSource& record)
{
    const auto arg = [&](std::size_t i) {
        return evaluateNode(node.args[i], record);
    };
    switch (node.function) {
    case ExprNode::Function::Upper:
        return Value::owned(text::upper(arg(0).toText()));
    case ExprNode::Function::Lower:
        return Value::owned(text::lower(arg(0).toText()));
    case ExprNode::Function::Sub:
        return sub(arg(0), arg(1), arg(2));
    case ExprNode::Function::Instring:
        return instringCall(arg(0), arg(1), arg(2), arg(3));
    case ExprNode::Function::Format: {
        const Value value = arg(0);
        const Picture picture =
            node.picture.valid() ? node.picture : Picture::parse(arg(1).toText());
        if (value.isText()) {
            return Value::owned(formatText(value.asText(), picture));
        }
        return Value::owned(formatNumber(value.asNumber(), picture));
    }
    }
    return {};
}

Value evaluateNode(const ExprNode& node, const FieldSource& record)
{
    switch (node.kind) {
    case ExprNode::Kind::Number:
        return Value::number(node.number);
    case ExprNode::Kind::Text:
    case ExprNode::Kind::Picture:
        return Value::view(node.text);
    case ExprNode::Kind::Field:
        return record.field(node.field.index);
    case ExprNode::Kind::Compare: {
        const Value left = evaluateNode(node.args[0], record);
        const Value right = evaluateNode(node.args[1], record);
        return Value::number(compareResult(node.op, compareValues(left, right)) ? 1 : 0);
    }
    case ExprNode::Kind::And:
        for (const ExprNode& operand : node.args) {
            if (!evaluateNode(operand, record).truth()) {
                return Value::number(0);
            }
        }
        return Value::number(1);
    case ExprNode::Kind::Or:
        for (const ExprNode& operand : node.args) {
            if (evaluateNode(operand, record).truth()) {
                return Value::number(1);
            }
        }
        return Value::number(0);
    case ExprNode::Kind::Not:
        return Value::number(evaluateNode(node.args[0], record).truth() ? 0 : 1);
    case ExprNode::Kind::Negate:
        return Value::number(-evaluateNode(node.args[0], record).toNumber());
    case ExprNode::Kind::Call:
        return callFunction(node, record);
    }
    return {};
}

} // namespace

std::string Value::toText() const
{
    if (isText_) {
        return std::string{asText()};
    }
    if (std::isfinite(number_) && number_ == std::floor(number_) && std::fabs(number_) < 1e15) {
        return std::to_string(static_cast<long long>(number_));
    }
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, number_);
    return error == std::errc{} ? std::string(buffer, end) : std::string{};
}

double Value::toNumber() const
{
    if (!isText_) {
        return number_;
    }
    return strictNumber(asText()).value_or(0.0);
}

bool Value::truth() const
{
    return isText_ ? !text::clip(asText()).empty() : number_ != 0.0;
}

int compareValues(const Value& a, const Value& b)
{
    if (a.isText() && b.isText()) {
        return text::compare(a.asText(), b.asText());
    }
    double x = 0;
    double y = 0;
    if (!a.isText() && !b.isText()) {
        x = a.asNumber();
        y = b.asNumber();
    } else {
        const Value& textSide = a.isText() ? a : b;
        const auto number = strictNumber(textSide.asText());
        if (!number) {
            return text::compare(a.toText(), b.toText());
        }
        x = a.isText() ? *number : a.asNumber();
        y = b.isText() ? *number : b.asNumber();
    }
    return x < y ? -1 : (x > y ? 1 : 0);
}

Value Expression::evaluate(const FieldSource& record) const
{
    return root_ ? evaluateNode(*root_, record) : Value::number(1);
}

bool Expression::matches(const FieldSource& record) const
{
    return !root_ || evaluateNode(*root_, record).truth();
}

std::vector<Value> SortOrder::key(const FieldSource& record) const
{
    std::vector<Value> values;
    values.reserve(terms_.size());
    for (const Term& term : terms_) {
        Value v = term.expression.evaluate(record);
        // A key outlives the record it was read from: keep texts as copies.
        values.push_back(v.isText() ? Value::owned(std::string{v.asText()}) : v);
    }
    return values;
}

int SortOrder::compare(const std::vector<Value>& a, const std::vector<Value>& b) const
{
    for (std::size_t i = 0; i < terms_.size() && i < a.size() && i < b.size(); ++i) {
        const int c = compareValues(a[i], b[i]);
        if (c != 0) {
            return terms_[i].descending ? -c : c;
        }
    }
    return 0;
}

} // namespace tessaly

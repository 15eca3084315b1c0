#include "framework/json.h"

#include "framework/utf8.h"

#include <charconv>

namespace tessaly {

class JsonParser {
public:
    explicit JsonParser(std::string_view text) : text_(text) {}

    std::optional<JsonValue> document()
    {
        JsonValue value;
        if (!parseValue(value, 0)) {
            return std::nullopt;
        }
        skipBlanks();
        return pos_ == text_.size() ? std::optional<JsonValue>{std::move(value)} : std::nullopt;
    }

private:
    static constexpr int kMaxDepth = 256;

    void skipBlanks()
    {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r')) {
            ++pos_;
        }
    }

    bool literal(std::string_view word)
    {
        if (text_.substr(pos_, word.size()) != word) {
            return false;
        }
        pos_ += word.size();
        return true;
    }

    bool parseValue(JsonValue& out, int depth)
    {
        if (depth > kMaxDepth) {
            return false;
        }
        skipBlanks();
        if (pos_ >= text_.size()) {
            return false;
        }
        const char c = text_[pos_];
        if (c == '{') {
            return parseObject(out, depth);
        }
        if (c == '[') {
            return parseArray(out, depth);
        }
        if (c == '"') {
            out.kind_ = JsonValue::Kind::String;
            return parseString(out.text_);
        }
        if (literal("true")) {
            out.kind_ = JsonValue::Kind::Bool;
            out.bool_ = true;
            return true;
        }
        if (literal("false")) {
            out.kind_ = JsonValue::Kind::Bool;
            return true;
        }
        if (literal("null")) {
            out.kind_ = JsonValue::Kind::Null;
            return true;
        }
        return parseNumber(out);
    }

    bool parseNumber(JsonValue& out)
    {
        const std::size_t start = pos_;
        while (pos_ < text_.size() &&
               std::string_view{"+-0123456789.eE"}.find(text_[pos_]) != std::string_view::npos) {
            ++pos_;
        }
        const auto [end, error] =
            std::from_chars(text_.data() + start, text_.data() + pos_, out.number_);
        out.kind_ = JsonValue::Kind::Number;
        return pos_ > start && error == std::errc{} && end == text_.data() + pos_;
    }

    bool hex4(char32_t& out)
    {
        if (pos_ + 4 > text_.size()) {
            return false;
        }
        unsigned value = 0;
        const auto [end, error] =
            std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, value, 16);
        if (error != std::errc{} || end != text_.data() + pos_ + 4) {
            return false;
        }
        pos_ += 4;
        out = value;
        return true;
    }

    bool parseString(std::string& out)
    {
        ++pos_; // the opening quote
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') {
                return true;
            }
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (pos_ >= text_.size()) {
                return false;
            }
            const char e = text_[pos_++];
            switch (e) {
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'u': {
                char32_t cp = 0;
                if (!hex4(cp)) {
                    return false;
                }
                // A surrogate pair makes one character beyond the first plane.
                if (cp >= 0xD800 && cp <= 0xDBFF && text_.substr(pos_, 2) == "\\u") {
                    pos_ += 2;
                    char32_t low = 0;
                    if (!hex4(low)) {
                        return false;
                    }
                    cp = 0x10000 + ((cp - 0xD800) << 10U) + (low - 0xDC00);
                }
                utf8::append(out, cp);
                break;
            }
            default:
                out.push_back(e);
            }
        }
        return false;
    }

    bool parseArray(JsonValue& out, int depth)
    {
        out.kind_ = JsonValue::Kind::Array;
        ++pos_;
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            JsonValue element;
            if (!parseValue(element, depth + 1)) {
                return false;
            }
            out.elements_.push_back(std::move(element));
            skipBlanks();
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == ']') {
                ++pos_;
                return true;
            }
            return false;
        }
    }

    bool parseObject(JsonValue& out, int depth)
    {
        out.kind_ = JsonValue::Kind::Object;
        ++pos_;
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == '}') {
            ++pos_;
            return true;
        }
        for (;;) {
            skipBlanks();
            std::string key;
            if (pos_ >= text_.size() || text_[pos_] != '"' || !parseString(key)) {
                return false;
            }
            skipBlanks();
            if (pos_ >= text_.size() || text_[pos_] != ':') {
                return false;
            }
            ++pos_;
            JsonValue value;
            if (!parseValue(value, depth + 1)) {
                return false;
            }
            out.members_.emplace_back(std::move(key), std::move(value));
            skipBlanks();
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == '}') {
                ++pos_;
                return true;
            }
            return false;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

namespace {

const JsonValue& nullValue()
{
    static const JsonValue value;
    return value;
}

} // namespace

std::optional<JsonValue> JsonValue::parse(std::string_view text)
{
    return JsonParser{text}.document();
}

const JsonValue& JsonValue::operator[](std::string_view key) const
{
    for (const auto& [name, value] : members_) {
        if (name == key) {
            return value;
        }
    }
    return nullValue();
}

const JsonValue& JsonValue::operator[](std::size_t index) const
{
    return index < elements_.size() ? elements_[index] : nullValue();
}

std::size_t JsonValue::size() const
{
    return kind_ == Kind::Array ? elements_.size() : members_.size();
}

} // namespace tessaly

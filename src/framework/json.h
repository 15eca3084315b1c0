#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// A small JSON reader for the files the program reads from other programs
// (a browser's session store). Values are read whole; a malformed text
// gives no value, never a crash; nesting deeper than 256 levels is refused.
class JsonValue {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    static std::optional<JsonValue> parse(std::string_view text);

    Kind kind() const { return kind_; }
    bool isObject() const { return kind_ == Kind::Object; }
    bool isArray() const { return kind_ == Kind::Array; }

    // Members and elements; a missing one reads as null.
    const JsonValue& operator[](std::string_view key) const;
    const JsonValue& operator[](std::size_t index) const;
    std::size_t size() const;

    std::string string() const { return kind_ == Kind::String ? text_ : std::string{}; }
    double number() const { return kind_ == Kind::Number ? number_ : 0; }

private:
    friend class JsonParser;

    Kind kind_ = Kind::Null;
    bool bool_ = false;
    double number_ = 0;
    std::string text_;
    std::vector<JsonValue> elements_;
    std::vector<std::pair<std::string, JsonValue>> members_;
};

} // namespace tessaly

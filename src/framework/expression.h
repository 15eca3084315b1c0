#pragma once

#include "framework/expression_value.h"
#include "framework/picture.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

class RecordSchema;

// A field that an expression names, as the caller numbered it.
struct FieldRef {
    int index = -1;
    bool isText = true;
};

// Turns field labels (PREFIX:Name) into field numbers of a FieldSource.
class FieldResolver {
public:
    virtual ~FieldResolver() = default;
    virtual std::optional<FieldRef> resolve(std::string_view label) const = 0;
};

// Resolves the labels of one or more record files; the fields of the n-th
// schema are numbered after those of the schemas before it.
class SchemaResolver final : public FieldResolver {
public:
    SchemaResolver() = default;
    explicit SchemaResolver(const RecordSchema& schema) { add(schema); }
    void add(const RecordSchema& schema) { schemas_.push_back(&schema); }
    std::optional<FieldRef> resolve(std::string_view label) const override;

private:
    std::vector<const RecordSchema*> schemas_;
};

// Error code under which an invalid expression is reported (for example in
// message 40, "View Open Error").
constexpr int kInvalidExpressionError = 800;

struct ExpressionError {
    std::size_t position = 0; // 1-based character where the fault was seen
    std::string message;

    // "Invalid filter: <message> at character <position>".
    std::string describe() const;
};

// One node of a compiled expression. The tree is open so that other layers
// can translate it (for example into SQL for the record engine).
struct ExprNode {
    enum class Kind { Number, Text, Picture, Field, Compare, And, Or, Not, Negate, Call };
    enum class Op { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };
    enum class Function { Upper, Lower, Sub, Instring, Format };

    Kind kind = Kind::Number;
    Op op = Op::Equal;
    Function function = Function::Upper;
    double number = 0;
    std::string text; // text constant or picture text
    FieldRef field;
    Picture picture;            // a picture fixed when compiling FORMAT
    std::vector<ExprNode> args; // AND and OR hold every operand of a chain
};

// A compiled filter or value expression. An empty text compiles to an empty
// expression that every record matches. Compiling never throws: a malformed
// text yields an expression whose error() says what is wrong and where.
class Expression {
public:
    static Expression compile(std::string_view source, const FieldResolver& resolver);

    bool ok() const { return !error_; }
    bool empty() const { return !root_ && !error_; }
    const ExpressionError& error() const { return *error_; }
    const ExprNode* root() const { return root_.get(); }

    Value evaluate(const FieldSource& record) const;
    // True when the record passes the filter (an empty or failed expression
    // passes every record; check ok() first).
    bool matches(const FieldSource& record) const;

private:
    std::shared_ptr<const ExprNode> root_;
    std::optional<ExpressionError> error_;
};

// A sort order: comma-separated expressions, each descending when it starts
// with "-" ("-URL:Rating,UPPER(URL:Description)").
class SortOrder {
public:
    struct Term {
        Expression expression;
        bool descending = false;
    };

    static SortOrder compile(std::string_view source, const FieldResolver& resolver);

    bool ok() const { return !error_; }
    const ExpressionError& error() const { return *error_; }
    const std::vector<Term>& terms() const { return terms_; }

    // The sort key of a record: one value per term.
    std::vector<Value> key(const FieldSource& record) const;
    // Orders two keys made by key(); negative when `a` comes first.
    int compare(const std::vector<Value>& a, const std::vector<Value>& b) const;

private:
    std::vector<Term> terms_;
    std::optional<ExpressionError> error_;
};

} // namespace tessaly

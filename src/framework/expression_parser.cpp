// Parses record expressions into ExprNode trees.
#include "framework/expression.h"

#include "framework/record_schema.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <array>
#include <cctype>
#include <charconv>

namespace tessaly {

namespace {

constexpr int kMaxDepth = 200;

enum class TokenKind {
    End,
    Number,
    Text,
    Picture,
    Name,
    Label,
    LeftParen,
    RightParen,
    Comma,
    Compare,
    Minus,
    Invalid
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    double number = 0;
    ExprNode::Op op = ExprNode::Op::Equal;
    std::size_t position = 0; // byte offset
};

bool isNameStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

class Lexer {
public:
    explicit Lexer(std::string_view source) : source_(source) {}

    Token next()
    {
        while (pos_ < source_.size() && std::isspace(static_cast<unsigned char>(source_[pos_]))) {
            ++pos_;
        }
        Token token;
        token.position = pos_;
        if (pos_ >= source_.size()) {
            return token;
        }
        const char c = source_[pos_];
        if (c == '\'') {
            return quoted(token);
        }
        if (std::isdigit(static_cast<unsigned char>(c)) != 0 ||
            (c == '.' && pos_ + 1 < source_.size() &&
             std::isdigit(static_cast<unsigned char>(source_[pos_ + 1])) != 0)) {
            return numberToken(token);
        }
        if (c == '@') {
            std::size_t end = pos_ + 1;
            while (end < source_.size() &&
                   (isNameChar(source_[end]) || source_[end] == '-' || source_[end] == '.')) {
                ++end;
            }
            token.kind = TokenKind::Picture;
            token.text = std::string{source_.substr(pos_, end - pos_)};
            pos_ = end;
            return token;
        }
        if (isNameStart(c)) {
            return nameToken(token);
        }
        return punctuation(token);
    }

private:
    Token quoted(Token token)
    {
        ++pos_;
        for (;;) {
            if (pos_ >= source_.size()) {
                token.kind = TokenKind::Invalid;
                token.text = "a text constant is not closed with a quote";
                return token;
            }
            if (source_[pos_] == '\'') {
                if (pos_ + 1 < source_.size() && source_[pos_ + 1] == '\'') {
                    token.text.push_back('\''); // '' stands for one quote
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                token.kind = TokenKind::Text;
                return token;
            }
            token.text.push_back(source_[pos_++]);
        }
    }

    Token numberToken(Token token)
    {
        std::size_t end = pos_;
        while (
            end < source_.size() &&
            (std::isdigit(static_cast<unsigned char>(source_[end])) != 0 || source_[end] == '.')) {
            ++end;
        }
        const std::string_view digits = source_.substr(pos_, end - pos_);
        const auto [stop, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), token.number);
        if (error != std::errc{} || stop != digits.data() + digits.size()) {
            token.kind = TokenKind::Invalid;
            token.text = "\"" + std::string{digits} + "\" is not a number";
            return token;
        }
        token.kind = TokenKind::Number;
        pos_ = end;
        return token;
    }

    Token nameToken(Token token)
    {
        std::size_t end = pos_;
        while (end < source_.size() && isNameChar(source_[end])) {
            ++end;
        }
        token.kind = TokenKind::Name;
        if (end < source_.size() && source_[end] == ':' && end + 1 < source_.size() &&
            isNameChar(source_[end + 1])) {
            end += 1;
            while (end < source_.size() && isNameChar(source_[end])) {
                ++end;
            }
            token.kind = TokenKind::Label;
        }
        token.text = std::string{source_.substr(pos_, end - pos_)};
        pos_ = end;
        return token;
    }

    Token punctuation(Token token)
    {
        const char c = source_[pos_];
        const char after = pos_ + 1 < source_.size() ? source_[pos_ + 1] : '\0';
        auto take = [&](TokenKind kind, std::size_t length) {
            token.kind = kind;
            pos_ += length;
            return token;
        };
        auto compare = [&](ExprNode::Op op, std::size_t length) {
            token.op = op;
            return take(TokenKind::Compare, length);
        };
        switch (c) {
        case '(':
            return take(TokenKind::LeftParen, 1);
        case ')':
            return take(TokenKind::RightParen, 1);
        case ',':
            return take(TokenKind::Comma, 1);
        case '-':
            return take(TokenKind::Minus, 1);
        case '=':
            return compare(ExprNode::Op::Equal, 1);
        case '<':
            if (after == '>') {
                return compare(ExprNode::Op::NotEqual, 2);
            }
            if (after == '=') {
                return compare(ExprNode::Op::LessEqual, 2);
            }
            return compare(ExprNode::Op::Less, 1);
        case '>':
            if (after == '=') {
                return compare(ExprNode::Op::GreaterEqual, 2);
            }
            return compare(ExprNode::Op::Greater, 1);
        case '~':
            if (after == '=') {
                return compare(ExprNode::Op::NotEqual, 2);
            }
            token.text = "NOT";
            return take(TokenKind::Name, 1);
        default:
            break;
        }
        token.kind = TokenKind::Invalid;
        const std::size_t length = utf8::offsetOf(source_.substr(pos_), 1);
        token.text = "unexpected \"" + std::string{source_.substr(pos_, length)} + "\"";
        return token;
    }

    std::string_view source_;
    std::size_t pos_ = 0;
};

struct FunctionInfo {
    std::string_view name;
    ExprNode::Function function;
    std::size_t arguments;
};

constexpr std::array<FunctionInfo, 5> kFunctions = {{
    {"UPPER", ExprNode::Function::Upper, 1},
    {"LOWER", ExprNode::Function::Lower, 1},
    {"SUB", ExprNode::Function::Sub, 3},
    {"INSTRING", ExprNode::Function::Instring, 4},
    {"FORMAT", ExprNode::Function::Format, 2},
}};

bool isKeyword(const Token& token, std::string_view word)
{
    return token.kind == TokenKind::Name && text::equalNoCase(token.text, word);
}

class Parser {
public:
    Parser(std::string_view source, const FieldResolver& resolver)
        : source_(source), lexer_(source), resolver_(resolver)
    {
        advance();
    }

    std::optional<ExprNode> parseAll()
    {
        auto node = orExpression();
        if (node && current_.kind != TokenKind::End) {
            return fail(current_, unexpected(current_, "unexpected "));
        }
        return node;
    }

    ExpressionError error() const { return error_; }

private:
    void advance() { current_ = lexer_.next(); }

    std::optional<ExprNode> fail(const Token& at, std::string message)
    {
        if (error_.message.empty()) {
            error_.position = utf8::length(source_.substr(0, at.position)) + 1;
            error_.message = std::move(message);
        }
        return std::nullopt;
    }

    // What to say about a token that does not fit: the lexer's own words for
    // text it could not read, else `lead` and the token.
    static std::string unexpected(const Token& token, std::string_view lead)
    {
        return token.kind == TokenKind::Invalid ? token.text : std::string{lead} + describe(token);
    }

    static std::string describe(const Token& token)
    {
        switch (token.kind) {
        case TokenKind::End:
            return "end of the expression";
        case TokenKind::Invalid:
            return token.text;
        case TokenKind::Text:
            return "text '" + token.text + "'";
        case TokenKind::Number:
            return "number";
        case TokenKind::RightParen:
            return "\")\"";
        case TokenKind::LeftParen:
            return "\"(\"";
        case TokenKind::Comma:
            return "\",\"";
        case TokenKind::Compare:
            return "comparison";
        case TokenKind::Minus:
            return "\"-\"";
        default:
            return "\"" + token.text + "\"";
        }
    }

    // Guards every level of recursion so a text of a thousand "(" cannot
    // exhaust the stack.
    struct Depth {
        explicit Depth(int& depth) : depth_(depth) { ++depth_; }
        ~Depth() { --depth_; }
        Depth(const Depth&) = delete;
        Depth& operator=(const Depth&) = delete;
        int& depth_;
    };

    std::optional<ExprNode> orExpression()
    {
        const Depth guard{depth_};
        if (depth_ > kMaxDepth) {
            return fail(current_, "the expression is nested too deeply");
        }
        return chain(ExprNode::Kind::Or, "OR", &Parser::andExpression);
    }

    std::optional<ExprNode> andExpression()
    {
        return chain(ExprNode::Kind::And, "AND", &Parser::notExpression);
    }

    // operand { keyword operand }: one node holding every operand, so a
    // query of thousands of ANDs is as deep as one and evaluates in a loop.
    std::optional<ExprNode> chain(ExprNode::Kind kind, std::string_view keyword,
                                  std::optional<ExprNode> (Parser::*operand)())
    {
        auto left = (this->*operand)();
        while (left && isKeyword(current_, keyword)) {
            advance();
            auto right = (this->*operand)();
            if (!right) {
                return std::nullopt;
            }
            if (left->kind == kind) {
                left->args.push_back(std::move(*right));
            } else {
                left = binary(kind, std::move(*left), std::move(*right));
            }
        }
        return left;
    }

    std::optional<ExprNode> notExpression()
    {
        if (!isKeyword(current_, "NOT")) {
            return comparison();
        }
        const Depth guard{depth_};
        if (depth_ > kMaxDepth) {
            return fail(current_, "the expression is nested too deeply");
        }
        advance();
        auto operand = notExpression();
        if (!operand) {
            return std::nullopt;
        }
        ExprNode node;
        node.kind = ExprNode::Kind::Not;
        node.args.push_back(std::move(*operand));
        return node;
    }

    std::optional<ExprNode> comparison()
    {
        auto left = primary();
        // Each comparison in a row ("a = b = c") nests the one before it.
        int links = 0;
        while (left && current_.kind == TokenKind::Compare) {
            if (depth_ + ++links > kMaxDepth) {
                return fail(current_, "the expression is nested too deeply");
            }
            const ExprNode::Op op = current_.op;
            advance();
            auto right = primary();
            if (!right) {
                return std::nullopt;
            }
            left = binary(ExprNode::Kind::Compare, std::move(*left), std::move(*right));
            left->op = op;
        }
        return left;
    }

    std::optional<ExprNode> primary()
    {
        const Depth guard{depth_};
        if (depth_ > kMaxDepth) {
            return fail(current_, "the expression is nested too deeply");
        }
        const Token token = current_;
        ExprNode node;
        switch (token.kind) {
        case TokenKind::Number:
            advance();
            node.kind = ExprNode::Kind::Number;
            node.number = token.number;
            return node;
        case TokenKind::Text:
            advance();
            node.kind = ExprNode::Kind::Text;
            node.text = token.text;
            return node;
        case TokenKind::Picture:
            advance();
            node.kind = ExprNode::Kind::Picture;
            node.text = token.text;
            node.picture = Picture::parse(token.text);
            if (!node.picture.valid()) {
                return fail(token, "\"" + token.text + "\" is not a picture");
            }
            return node;
        case TokenKind::Minus: {
            advance();
            auto operand = primary();
            if (!operand) {
                return std::nullopt;
            }
            node.kind = ExprNode::Kind::Negate;
            node.args.push_back(std::move(*operand));
            return node;
        }
        case TokenKind::LeftParen: {
            advance();
            auto inner = orExpression();
            if (!inner) {
                return std::nullopt;
            }
            if (current_.kind != TokenKind::RightParen) {
                return fail(current_, unexpected(current_, "\")\" expected instead of "));
            }
            advance();
            return inner;
        }
        case TokenKind::Label:
            return field(token);
        case TokenKind::Name:
            return call(token);
        default:
            return fail(token, unexpected(token, "a value expected instead of "));
        }
    }

    std::optional<ExprNode> field(const Token& token)
    {
        advance();
        const auto ref = resolver_.resolve(token.text);
        if (!ref) {
            return fail(token, "unknown field " + token.text);
        }
        ExprNode node;
        node.kind = ExprNode::Kind::Field;
        node.field = *ref;
        node.text = token.text;
        return node;
    }

    std::optional<ExprNode> call(const Token& token)
    {
        const FunctionInfo* info = nullptr;
        for (const FunctionInfo& f : kFunctions) {
            if (text::equalNoCase(f.name, token.text)) {
                info = &f;
            }
        }
        if (info == nullptr) {
            return fail(token, "unknown name " + token.text);
        }
        advance();
        if (current_.kind != TokenKind::LeftParen) {
            return fail(current_, "\"(\" expected after " + std::string{info->name});
        }
        advance();
        ExprNode node;
        node.kind = ExprNode::Kind::Call;
        node.function = info->function;
        for (;;) {
            auto argument = orExpression();
            if (!argument) {
                return std::nullopt;
            }
            node.args.push_back(std::move(*argument));
            if (current_.kind == TokenKind::Comma) {
                advance();
                continue;
            }
            if (current_.kind == TokenKind::RightParen) {
                break;
            }
            return fail(current_, unexpected(current_, "\",\" or \")\" expected instead of "));
        }
        if (node.args.size() != info->arguments) {
            return fail(current_, std::string{info->name} + " takes " +
                                      std::to_string(info->arguments) + " argument" +
                                      (info->arguments == 1 ? "" : "s"));
        }
        advance();
        if (info->function == ExprNode::Function::Format) {
            // A constant picture is read once, not for every record.
            const ExprNode& pictureArg = node.args[1];
            if (pictureArg.kind == ExprNode::Kind::Text) {
                node.picture = Picture::parse(pictureArg.text);
            } else if (pictureArg.kind == ExprNode::Kind::Picture) {
                node.picture = pictureArg.picture;
            }
        }
        return node;
    }

    static ExprNode binary(ExprNode::Kind kind, ExprNode left, ExprNode right)
    {
        ExprNode node;
        node.kind = kind;
        node.args.push_back(std::move(left));
        node.args.push_back(std::move(right));
        return node;
    }

    std::string_view source_;
    Lexer lexer_;
    const FieldResolver& resolver_;
    Token current_;
    ExpressionError error_;
    int depth_ = 0;
};

} // namespace

std::optional<FieldRef> SchemaResolver::resolve(std::string_view label) const
{
    int base = 0;
    for (const RecordSchema* schema : schemas_) {
        const int index = schema->indexOf(label);
        if (index >= 0) {
            return FieldRef{base + index,
                            schema->fields()[static_cast<std::size_t>(index)].isText()};
        }
        base += static_cast<int>(schema->fields().size());
    }
    return std::nullopt;
}

std::string ExpressionError::describe() const
{
    return "Invalid filter: " + message + " at character " + std::to_string(position);
}

Expression Expression::compile(std::string_view source, const FieldResolver& resolver)
{
    Expression expression;
    if (text::trim(source).empty()) {
        return expression;
    }
    Parser parser{source, resolver};
    auto root = parser.parseAll();
    if (!root) {
        expression.error_ = parser.error();
        return expression;
    }
    expression.root_ = std::make_shared<const ExprNode>(std::move(*root));
    return expression;
}

SortOrder SortOrder::compile(std::string_view source, const FieldResolver& resolver)
{
    SortOrder order;
    // Split at the commas that stand outside parentheses and quotes.
    std::size_t start = 0;
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = 0; i <= source.size(); ++i) {
        const char c = i < source.size() ? source[i] : ',';
        if (c == '\'') {
            quoted = !quoted;
        } else if (!quoted && c == '(') {
            ++depth;
        } else if (!quoted && c == ')') {
            --depth;
        }
        const bool atEnd = i == source.size();
        if (!atEnd && (c != ',' || quoted || depth > 0)) {
            continue;
        }
        std::string_view part = source.substr(start, i - start);
        const std::size_t lead = part.find_first_not_of(" \t\r\n");
        const std::size_t offset = start + (lead == std::string_view::npos ? 0 : lead);
        part = text::trim(part);
        Term term;
        if (!part.empty() && part.front() == '-') {
            term.descending = true;
            part.remove_prefix(1);
        }
        term.expression = Expression::compile(part, resolver);
        if (!term.expression.ok()) {
            ExpressionError error = term.expression.error();
            error.position += utf8::length(source.substr(0, offset)) + (term.descending ? 1 : 0);
            order.error_ = error;
            order.terms_.clear();
            return order;
        }
        if (!term.expression.empty()) {
            order.terms_.push_back(std::move(term));
        } else if (!text::trim(source).empty()) {
            ExpressionError error;
            error.position = utf8::length(source.substr(0, start)) + 1;
            error.message = "an empty sort term";
            order.error_ = error;
            order.terms_.clear();
            return order;
        }
        start = i + 1;
    }
    return order;
}

} // namespace tessaly

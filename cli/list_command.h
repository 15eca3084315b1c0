#pragma once

#include "command.h"

namespace tessaly::cli {

// list [--order ORDER] [--query EXPR] [--format tsv|csv] [--columns A,B,...]
// [--show-passwords]: the bookmarks with a header line, the twenty fields in
// record order or the fields --columns names in its order (as the header
// names them, or without the "URL:", any letter case); the site password
// field is blank unless --show-passwords is given.
class ListCommand final : public Command {
public:
    std::string_view name() const override { return "list"; }
    std::string_view summary() const override
    {
        return "list [--order ORDER] [--query EXPR] [--format tsv|csv] [--columns FIELD,...] "
               "[--show-passwords]";
    }
    int run(const std::vector<std::string>& arguments, const Context& context) override;
    std::string usageNotes() const override;
};

// keywords [LOCATION] and details [LOCATION]: a bookmark's extra rows in key
// order, or every bookmark's.
class RowsCommand final : public Command {
public:
    explicit RowsCommand(bool details) : details_(details) {}
    std::string_view name() const override { return details_ ? "details" : "keywords"; }
    std::string_view summary() const override
    {
        return details_ ? "details [LOCATION]: location, sequence, label, value"
                        : "keywords [LOCATION]: location, sequence, keyword";
    }
    int run(const std::vector<std::string>& arguments, const Context& context) override;

private:
    bool details_;
};

} // namespace tessaly::cli

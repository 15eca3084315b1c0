#pragma once

#include "command.h"

namespace tessaly::cli {

// validate [--query EXPR] [--jobs N]: tests the web (http and https) bookmarks (those
// the query selects) and stores each result, a line per tested bookmark and
// a summary line. Exits 0 when the run was made, failed links or not.
class ValidateCommand final : public Command {
public:
    std::string_view name() const override { return "validate"; }
    std::string_view summary() const override { return "validate [--query EXPR] [--jobs N]"; }
    int run(const std::vector<std::string>& arguments, const Context& context) override;
};

} // namespace tessaly::cli

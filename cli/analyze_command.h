#pragma once

#include "command.h"

namespace tessaly::cli {

// analyze [--query EXPR] [--jobs N]: reads the page of each web (http, https)
// bookmark (those the query selects) whole and fills the bookmark from it,
// a line per analysed bookmark and a summary line. Exits 0 when the run
// was made, failed pages or not.
class AnalyzeCommand final : public Command {
public:
    std::string_view name() const override { return "analyze"; }
    std::string_view summary() const override { return "analyze [--query EXPR] [--jobs N]"; }
    int run(const std::vector<std::string>& arguments, const Context& context) override;
};

} // namespace tessaly::cli

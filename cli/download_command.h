#pragma once

#include "command.h"

namespace tessaly::cli {

// download --folder DIR [--query EXPR]: saves the page of every bookmark
// (those the query selects) into DIR, made when missing, and marks each
// bookmark saved; a line per bookmark and a summary line.
class DownloadCommand final : public Command {
public:
    std::string_view name() const override { return "download"; }
    std::string_view summary() const override { return "download --folder DIR [--query EXPR]"; }
    int run(const std::vector<std::string>& arguments, const Context& context) override;
};

} // namespace tessaly::cli

#pragma once

#include "command.h"

namespace tessaly::cli {

// report TITLE --pdf FILE [--query EXPR] [--paper a4|letter], or
// report design --columns A,B,... --order NAME --pdf FILE [...]: one of the
// six fixed reports (its title in any letter case) or a designed report,
// laid out as the windows print it and written as a PDF file.
class ReportCommand final : public Command {
public:
    std::string_view name() const override { return "report"; }
    std::string_view summary() const override
    {
        return "report \"URLs by Location\"|\"URLs by Description\"|\"URLs by Category\"|"
               "\"URLs by Rating\"|\"URLs by Keyword\"|Categories --pdf FILE [--query EXPR] "
               "[--paper a4|letter]; report design --columns FIELD,... --order ORDER --pdf FILE "
               "[--query EXPR] [--paper a4|letter]";
    }
    int run(const std::vector<std::string>& arguments, const Context& context) override;
    std::string usageNotes() const override;
};

} // namespace tessaly::cli

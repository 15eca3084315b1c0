#pragma once

#include "command.h"

namespace tessaly::cli {

// export TYPE FILE [--order ORDER] [--category NAME | --query EXPR]
// [--title TEXT] [--rating] [--siteinfo] [--template FILE|default]: the
// export of the wizard without the window. TYPE is simple, table, frame,
// csv, ascii, netscape or xbel (any letter case); --template makes the three HTML
// types follow a template (FILE, or "default" for the data folder's
// Default_ files). Prints every file written, the main file first.
class ExportCommand final : public Command {
public:
    std::string_view name() const override { return "export"; }
    std::string_view summary() const override
    {
        return "export simple|table|frame|csv|ascii|netscape|xbel FILE "
               "[--order ORDER] "
               "[--category NAME | --query EXPR] [--title TEXT] [--rating] [--siteinfo] "
               "[--template FILE|default]";
    }
    int run(const std::vector<std::string>& arguments, const Context& context) override;
    std::string usageNotes() const override;
};

} // namespace tessaly::cli

#pragma once

#include "command.h"

namespace tessaly::cli {

// import TYPE [SOURCE] [--assign guess|selected|none] [--category NAME]:
// the wizard's import without the window. TYPE is ie, netscape, html, csv,
// ascii, firefox, chromium or xbel (any letter case); prints how many bookmarks
// arrived and how many were stored already.
class ImportCommand final : public Command {
public:
    std::string_view name() const override { return "import"; }
    std::string_view summary() const override
    {
        return "import ie|netscape|html|csv|ascii|firefox|chromium|xbel [SOURCE] "
               "[--assign guess|selected|none] [--category NAME]";
    }
    int run(const std::vector<std::string>& arguments, const Context& context) override;
};

} // namespace tessaly::cli

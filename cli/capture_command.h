#pragma once

#include "command.h"

namespace tessaly::cli {

// capture [FILE|-]: the clipboard monitor's capture on the text of a file or
// of standard input, as if it had been copied: a line per bookmark added and
// a summary.
class CaptureCommand final : public Command {
public:
    std::string_view name() const override { return "capture"; }
    std::string_view summary() const override { return "capture [FILE|-]"; }
    int run(const std::vector<std::string>& arguments, const Context& context) override;
};

// import-old FILE: copies an earlier version's database (a file named
// URL_L.TPS) into the bookmark file.
class ImportOldCommand final : public Command {
public:
    std::string_view name() const override { return "import-old"; }
    std::string_view summary() const override { return "import-old FILE (a URL_L.TPS file)"; }
    int run(const std::vector<std::string>& arguments, const Context& context) override;
};

} // namespace tessaly::cli

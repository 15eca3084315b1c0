#pragma once

#include "command.h"

namespace tessaly::cli {

// repair ACTION [LABEL...] [--yes]: runs a maintenance action (build, pack,
// release, info or fix) on the files with those labels, or on all of them.
// A line per file on standard output: label, what became of it, records
// and information. Exits 1 when a file could not be worked on.
class RepairCommand final : public Command {
public:
    std::string_view name() const override { return "repair"; }
    std::string_view summary() const override
    {
        return "repair build|pack|release|info|fix [LABEL...] [--yes]";
    }
    int run(const std::vector<std::string>& arguments, const Context& context) override;
};

} // namespace tessaly::cli

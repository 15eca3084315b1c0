#pragma once

#include "command.h"

namespace tessaly::cli {

// add URL [--description T] [--category C] [--keyword K] [--rating N]
class AddCommand final : public Command {
public:
    std::string_view name() const override { return "add"; }
    std::string_view summary() const override
    {
        return "add URL [--description T] [--category C] [--keyword K] [--rating N]";
    }
    int run(const std::vector<std::string>& arguments, const Context& context) override;
};

} // namespace tessaly::cli

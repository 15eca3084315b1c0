#pragma once

#include "command.h"

#include <memory>
#include <vector>

namespace tessaly::cli {

// Picks the command named by the first argument and runs it. "--help",
// "help" or no argument list the commands; "--version" prints the version.
class Dispatcher final {
public:
    Dispatcher();
    int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

private:
    void printHelp(std::ostream& out) const;

    std::vector<std::unique_ptr<Command>> commands_;
};

} // namespace tessaly::cli

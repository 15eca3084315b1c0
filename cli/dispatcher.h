#pragma once

#include "command.h"

#include <memory>
#include <vector>

namespace tessaly::cli {

// Picks the command named by the first argument and runs it. "--help",
// "help" or no argument list the commands, "help COMMAND" and "COMMAND --help"
// say how one is used; "--version" prints the version.
class Dispatcher final {
public:
    Dispatcher();
    // Runs the command; output that could not be written (checked at the
    // end, with a flush) makes a success exit 1 with a message on `err`.
    int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

private:
    int dispatch(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
    void printHelp(std::ostream& out) const;
    bool ownsItsOptions(const std::string& name) const;

    std::vector<std::unique_ptr<Command>> commands_;
};

} // namespace tessaly::cli

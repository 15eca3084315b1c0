#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::cli {

// What a command works with: where it writes (tests hand in string streams)
// and the data folder it opens the database in.
struct Context {
    std::ostream& out;
    std::ostream& err;
    std::string dataFolder;
};

// One command of tessaly-cli.
class Command {
public:
    virtual ~Command() = default;
    virtual std::string_view name() const = 0;
    // One line for the command list of --help.
    virtual std::string_view summary() const = 0;
    // Runs with the arguments after the command name; returns the exit code.
    virtual int run(const std::vector<std::string>& arguments, const Context& context) = 0;
};

} // namespace tessaly::cli

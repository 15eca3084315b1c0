#pragma once

#include "field_escape.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::cli {

// Exit codes of tessaly-cli.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitDatabase = 3; // the database cannot be used at all

// What a command works with: where it writes (tests hand in string streams),
// the data folder it opens the database in, and where the access password
// is read from when the program is guarded by one (empty: the terminal).
struct Context {
    std::ostream& out;
    std::ostream& err;
    std::string dataFolder;
    std::string passwordFile;
};

// "1 bookmark", "2 bookmarks": a count with its noun.
inline std::string counted(long long n, std::string_view noun)
{
    return std::to_string(n) + " " + std::string{noun} + (n == 1 ? "" : "s");
}

// The summary line of an import: how many arrived and how many were there.
inline std::string importSummaryLine(long long imported, long long stored)
{
    return "Imported " + counted(imported, "bookmark") + "; " + std::to_string(stored) +
           (stored == 1 ? " was" : " were") + " stored already\n";
}

// One command of tessaly-cli.
class Command {
public:
    virtual ~Command() = default;
    virtual std::string_view name() const = 0;
    // One line for the command list of --help.
    virtual std::string_view summary() const = 0;
    // Runs with the arguments after the command name; returns the exit code.
    virtual int run(const std::vector<std::string>& arguments, const Context& context) = 0;
    // True when the command's arguments may hold options of the same names
    // as the program's own (--password-file): those after its name are then
    // the command's, and the program's must come before it.
    virtual bool ownsItsOptions() const { return false; }
    // What the usage message adds below the summary: the words an option
    // takes. Empty for most commands.
    virtual std::string usageNotes() const { return {}; }

    // How the command is used: its summary and the usage notes.
    void printUsage(std::ostream& out) const
    {
        out << "usage: " << summary() << '\n';
        if (const std::string notes = usageNotes(); !notes.empty()) {
            out << notes << '\n';
        }
    }

protected:
    // Says what is wrong with the arguments, then how the command is used;
    // gives the exit code for bad arguments.
    int usageError(std::string_view problem, const Context& context) const
    {
        context.err << "tessaly-cli " << name() << ": " << messageText(problem) << '\n';
        printUsage(context.err);
        return kExitUsage;
    }
};

} // namespace tessaly::cli

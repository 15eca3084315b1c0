#include "frame/program_arguments.h"

#include <utility>

namespace tessaly::gui {

ProgramArguments parseProgramArguments(const std::vector<std::string>& arguments)
{
    ProgramArguments parsed;
    bool options = true;
    bool dataGiven = false;
    // The first fault is kept and the reading goes on, so that --help is
    // found behind options only Qt knows.
    const auto fail = [&parsed](std::string message) {
        if (parsed.error.empty()) {
            parsed.error = std::move(message);
        }
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!options || argument == "-" || !argument.starts_with("-")) {
            parsed.addresses.push_back(argument);
        } else if (argument == "--") {
            options = false;
        } else if (argument == "--help" || argument == "-h") {
            parsed.help = true;
        } else if (argument == "--version") {
            parsed.version = true;
        } else if (argument == "--add-new-url") {
            parsed.addresses.emplace_back();
        } else if (argument == "--data" || argument.starts_with("--data=")) {
            const bool separate = argument == "--data";
            if (dataGiven) {
                // Which one was meant? Either would open data the user did not name.
                fail("--data given twice");
            } else if (separate ? i + 1 >= arguments.size() || arguments[i + 1].empty()
                                : argument.size() == 7) {
                fail("--data needs a folder");
            } else {
                parsed.dataFolder = separate ? arguments[i + 1] : argument.substr(7);
            }
            dataGiven = true;
            i += separate ? 1 : 0;
        } else {
            fail("unknown option " + argument + "; see tessaly --help");
        }
    }
    return parsed;
}

std::string programHelp()
{
    return "Usage: tessaly [--data DIR] [--add-new-url] [--] [ADDRESS...]\n"
           "       tessaly --version | --help\n"
           "\n"
           "Keeps a database of web addresses with categories, keywords, ratings and\n"
           "details, in windows.\n"
           "\n"
           "Options:\n"
           "  --data DIR   the data folder (default: $TESSALY_DATA, else\n"
           "               $XDG_DATA_HOME/tessaly, else ~/.local/share/tessaly)\n"
           "  --add-new-url\n"
           "               open the new-bookmark wizard on the address a browser\n"
           "               shows, as the tray's \"Add New URL...\" does\n"
           "  --help       print this help\n"
           "  --version    print the version\n"
           "  --           ends the options: an address that begins with \"-\" goes\n"
           "               after it\n"
           "  Qt's own options (-platform NAME, -display DISPLAY, -style NAME, ...) are\n"
           "  taken as well.\n"
           "\n"
           "Each ADDRESS opens the new-bookmark wizard on it, one after another. When\n"
           "tessaly already runs on the same data folder, the addresses go to that\n"
           "program, its frame comes forward, and this start ends.\n"
           "\n"
           "Exit status:\n"
           "  0  done: the program was ended, or the running one took the addresses\n"
           "  1  the data folder could not be made or entered, or the running program\n"
           "     did not answer\n"
           "  2  bad arguments, or no display to open windows on\n"
           "  A fatal message (a database that cannot be opened, a full disk) ends the\n"
           "  program with a status other than 0 once its box is closed.\n";
}

} // namespace tessaly::gui

#pragma once

#include <string>
#include <vector>

namespace tessaly::gui {

// What the command line of tessaly asks for, once Qt has taken its own
// options (-platform, -display, -style, ...) out of it.
struct ProgramArguments {
    bool help = false;
    bool version = false;
    // Addresses to add, each through the new-bookmark wizard, in order. An
    // empty one (--add-new-url) opens the wizard on the address a browser
    // shows, as the tray's "Add New URL..." does.
    std::vector<std::string> addresses;
    // The folder --data names; empty when none was given.
    std::string dataFolder;
    // Set when the arguments do not fit: the message, without the program's name.
    std::string error;
};

// Reads `arguments` (without the program's name): `--data DIR` or
// `--data=DIR` (taken by the data folder's choice), `--help`/`-h`,
// `--version`, `--add-new-url`, and addresses; `--` ends the options, so an address that
// begins with "-" goes after it. Any other option is an error; the first
// error is kept and the rest is still read.
ProgramArguments parseProgramArguments(const std::vector<std::string>& arguments);

// The text `tessaly --help` prints.
std::string programHelp();

} // namespace tessaly::gui

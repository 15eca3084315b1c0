#pragma once

#include "framework/ui_port.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// Hands a target (an address, a file, or a program with arguments) to the
// program the desktop associates with it. Results follow the shell's
// convention: 32 or more is success; below is an error number.
class Opener {
public:
    virtual ~Opener() = default;
    // Opens `target` with `parameters` (empty for an address or a file).
    virtual int open(const std::string& target, const std::string& parameters) = 0;
    // Starts a command line as a program of its own; true when it started.
    virtual bool start(const std::string& commandLine) = 0;
};

// The desktop's opener: `xdg-open` (or the program named by
// $TESSALY_OPENER) for a target without parameters; a program path with
// parameters is started directly when it names an executable program.
class DesktopOpener final : public Opener {
public:
    int open(const std::string& target, const std::string& parameters) override;
    bool start(const std::string& commandLine) override;
};

// Error numbers an opener gives.
constexpr int kOpenedOk = 42;
constexpr int kOpenFileNotFound = 2;
constexpr int kOpenNoAssociation = 31;

// Launches `target` with `opener`, trying the splits of a program path and
// its arguments before giving up; a failure is shown as "Could not start "
// + target + "." under "Error Code " + number. A non-blank `workingFolder`
// is the current folder during the call. Returns true when something
// started.
bool launch(std::string_view target, std::string_view workingFolder, Opener& opener, UiPort& ui);

// Splits a command line into words: blanks separate, double quotes group.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

} // namespace tessaly

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
    // May wait for the desktop's handler: call it off the window's thread.
    virtual int open(const std::string& target, const std::string& parameters) = 0;
    // Starts the program at path `program`, without arguments; true when it
    // started.
    virtual bool start(const std::string& program) = 0;
};

// The desktop's opener: `xdg-open` (or the program named by
// $TESSALY_OPENER) for a target without parameters; a program with
// parameters, or started alone, only when isStartableProgram() allows it.
// Nothing ever goes through a shell. Safe to use from any thread.
class DesktopOpener final : public Opener {
public:
    int open(const std::string& target, const std::string& parameters) override;
    bool start(const std::string& program) override;
};

// Error numbers an opener gives.
constexpr int kOpenedOk = 42;
constexpr int kOpenFileNotFound = 2;
constexpr int kOpenNoAssociation = 31;

// Whether `program` may be started as a program of its own with arguments
// taken from bookmark text: a path to an existing executable file, never a
// bare name looked up on PATH. An unquoted program part must be an
// absolute path; a quoted one may be relative to the current folder.
bool isStartableProgram(std::string_view program, bool quoted = false);

// Launches `target` with `opener`: first the whole text as an address or a
// file; then, when the text starts with a startable program (see
// isStartableProgram), that program with the rest as its arguments, trying
// a quoted path, the first blank and then the blanks from the right; last
// the program alone. Returns the opener's result (32 or more: started). A
// non-blank `workingFolder` is the process's current folder during the
// call, so only the window thread may pass one. Shows nothing.
int tryLaunch(std::string_view target, std::string_view workingFolder, Opener& opener);

// The message for a launch that failed with `result`: "Could not start " +
// target + "." under "Error Code " + number.
MessageRequest launchFailure(std::string_view target, int result);

// tryLaunch() that shows launchFailure() on a failure. Returns true when
// something started.
bool launch(std::string_view target, std::string_view workingFolder, Opener& opener, UiPort& ui);

// Splits a command line into words: blanks separate, double quotes group.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

} // namespace tessaly

#include "dispatcher.h"
#include "output_buffer.h"

#include "framework/halt.h"

#include <csignal>
#include <cstring>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    // A reader that went away (`tessaly-cli list | head -1`) is a failed
    // write the command reports, not a silent death halfway through.
    std::signal(SIGPIPE, SIG_IGN);
    tessaly::cli::OutputBuffer buffer{STDOUT_FILENO};
    std::ostream out{&buffer};
    // A fatal message ends the process at once; what was listed before it
    // still goes out.
    tessaly::addHaltHook([&buffer] { buffer.pubsync(); });
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    tessaly::cli::Dispatcher dispatcher;
    int code = dispatcher.run(arguments, out, std::cerr);
    const bool reported = buffer.error() != 0;
    if (!buffer.close() && !reported) {
        std::cerr << "tessaly-cli: the output could not be written: "
                  << std::strerror(buffer.error()) << '\n';
        code = code == tessaly::cli::kExitOk ? tessaly::cli::kExitFailure : code;
    }
    return code;
}

#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessaly::cli {

// Arguments of one command: "--name value" options and the rest in order.
struct Options {
    std::map<std::string, std::string> named;
    std::vector<std::string> positional;
    std::string error; // set when the arguments do not fit

    std::optional<std::string> get(const std::string& name) const;
};

// Splits `arguments`; every option in `known` takes one value.
Options parseOptions(const std::vector<std::string>& arguments,
                     const std::vector<std::string>& known);

} // namespace tessaly::cli

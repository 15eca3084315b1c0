#pragma once

#include "framework/expression.h"

#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::cli {

// Arguments of one command: "--name value" options, "--name" switches and
// the rest in order.
struct Options {
    std::map<std::string, std::string> named;
    std::vector<std::string> positional;
    std::string error; // set when the arguments do not fit

    std::optional<std::string> get(const std::string& name) const;
    bool has(const std::string& name) const { return named.contains(name); }
};

// Splits `arguments`; every option in `known` takes one value ("--name V" or
// "--name=V"), those in `switches` none. An option given twice, an unknown
// one, and anything else that begins with "-" are errors, so a mistyped
// option is never taken for an address; "--" ends the options and what
// follows is positional whatever it looks like.
Options parseOptions(const std::vector<std::string>& arguments,
                     const std::vector<std::string>& known,
                     const std::vector<std::string>& switches = {});

// `path` as the command was given it, made absolute against the working
// folder of the moment: commands read their files after the session has
// moved into the data folder.
std::string callerPath(const std::string& path);

// The bookmark filter given with --query, or null without one. A query that
// does not compile is reported on `err` ("tessaly-cli COMMAND: ...") and
// gives false.
bool queryFilter(const Options& options, std::string_view command, std::ostream& err,
                 std::shared_ptr<const Expression>& filter);

} // namespace tessaly::cli

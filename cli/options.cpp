#include "options.h"

#include "framework/utf8.h"

#include <cstdlib>
#include <unistd.h>

#include "core/bookmark_schema.h"

#include <algorithm>

namespace tessaly::cli {

std::optional<std::string> Options::get(const std::string& name) const
{
    const auto found = named.find(name);
    return found == named.end() ? std::nullopt : std::optional<std::string>{found->second};
}

Options parseOptions(const std::vector<std::string>& arguments,
                     const std::vector<std::string>& known,
                     const std::vector<std::string>& switches)
{
    Options options;
    const auto fail = [&options](std::string problem) {
        options.error = std::move(problem);
        return options;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            options.positional.insert(options.positional.end(), arguments.begin() + i + 1,
                                      arguments.end());
            break;
        }
        if (argument.size() < 2 || argument[0] != '-') {
            options.positional.push_back(argument); // "-" alone is a value too
            continue;
        }
        if (argument[1] != '-') {
            return fail("unknown option " + argument +
                        " (a value that begins with \"-\" goes after --)");
        }
        std::string name = argument.substr(2);
        std::string value;
        bool hasValue = false;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            hasValue = true;
        }
        const bool isSwitch = std::find(switches.begin(), switches.end(), name) != switches.end();
        if (!isSwitch && std::find(known.begin(), known.end(), name) == known.end()) {
            return fail("unknown option --" + name);
        }
        if (options.named.contains(name)) {
            return fail("--" + name + " given twice");
        }
        if (isSwitch && hasValue) {
            return fail("--" + name + " takes no value");
        }
        if (!isSwitch && !hasValue) {
            if (i + 1 >= arguments.size()) {
                return fail("--" + name + " needs a value");
            }
            value = arguments[++i];
        }
        options.named[name] = value;
    }
    return options;
}

std::string callerPath(const std::string& path)
{
    if (path.empty() || path.starts_with('/') || path == "-") {
        return path;
    }
    char* here = ::getcwd(nullptr, 0);
    if (here == nullptr) {
        return path;
    }
    std::string absolute{here};
    std::free(here);
    if (!absolute.ends_with('/')) {
        absolute += '/'; // started from "/", the folder ends with one already
    }
    absolute += path;
    return absolute;
}

bool queryFilter(const Options& options, std::string_view command, std::ostream& err,
                 std::shared_ptr<const Expression>& filter)
{
    filter.reset();
    const auto query = options.get("query");
    if (!query) {
        return true;
    }
    const SchemaResolver resolver{bookmarkSchema()};
    // Bytes that are not UTF-8 are read as the stored text was: Windows-1252.
    filter = std::make_shared<const Expression>(Expression::compile(utf8::valid(*query), resolver));
    if (!filter->ok()) {
        err << "tessaly-cli " << command << ": " << filter->error().describe() << '\n';
        return false;
    }
    return true;
}

} // namespace tessaly::cli

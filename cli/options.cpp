#include "options.h"

#include "core/bookmark_schema.h"

#include <algorithm>

namespace tessaly::cli {

std::optional<std::string> Options::get(const std::string& name) const
{
    const auto found = named.find(name);
    return found == named.end() ? std::nullopt : std::optional<std::string>{found->second};
}

Options parseOptions(const std::vector<std::string>& arguments,
                     const std::vector<std::string>& known)
{
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!argument.starts_with("--")) {
            options.positional.push_back(argument);
            continue;
        }
        std::string name = argument.substr(2);
        std::string value;
        bool hasValue = false;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            hasValue = true;
        }
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            options.error = "unknown option --" + name;
            return options;
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                options.error = "--" + name + " needs a value";
                return options;
            }
            value = arguments[++i];
        }
        options.named[name] = value;
    }
    return options;
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
    filter = std::make_shared<const Expression>(Expression::compile(*query, resolver));
    if (!filter->ok()) {
        err << "tessaly-cli " << command << ": " << filter->error().describe() << '\n';
        return false;
    }
    return true;
}

} // namespace tessaly::cli

#include "dispatcher.h"

#include "field_escape.h"

#include "add_command.h"
#include "analyze_command.h"
#include "download_command.h"
#include "list_command.h"
#include "message_stream.h"
#include "options.h"
#include "output_buffer.h"

#include "capture_command.h"
#include "export_command.h"
#include "import_command.h"
#include "repair_command.h"
#include "report_command.h"
#include "sync_command.h"
#include "validate_command.h"
#include "vocabulary.h"
#include <cstdlib>
#include <unistd.h>

#include "framework/version.h"
#include "platform/data_folder.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace tessaly::cli {

namespace {

// `text` in lines of at most 80 characters, each indented by two blanks,
// as the rest of --help is laid out.
std::string wrapped(std::string_view text)
{
    std::string lines;
    std::size_t lineLength = 0;
    while (!text.empty()) {
        const std::size_t blank = std::min(text.find(' '), text.size());
        const std::string_view word = text.substr(0, blank);
        if (lineLength > 0 && lineLength + 1 + word.size() > 80) {
            lines += '\n';
            lineLength = 0;
        }
        lines.append(lineLength == 0 ? "  " : " ");
        lines.append(word);
        lineLength += (lineLength == 0 ? 2 : 1) + word.size();
        text.remove_prefix(std::min(blank + 1, text.size()));
    }
    return lines + '\n';
}

void printVersion(std::ostream& out)
{
    out << kProductName << ' ' << kProductVersion << '\n';
}

class VersionCommand final : public Command {
public:
    std::string_view name() const override { return "version"; }
    std::string_view summary() const override
    {
        return "version: print the program's name and version";
    }
    int run(const std::vector<std::string>& arguments, const Context& context) override
    {
        if (!arguments.empty()) {
            return usageError("unexpected " + arguments[0], context);
        }
        printVersion(context.out);
        return kExitOk;
    }
};

} // namespace

Dispatcher::Dispatcher()
{
    commands_.push_back(std::make_unique<AddCommand>());
    commands_.push_back(std::make_unique<ListCommand>());
    commands_.push_back(std::make_unique<RowsCommand>(false));
    commands_.push_back(std::make_unique<RowsCommand>(true));
    commands_.push_back(std::make_unique<ValidateCommand>());
    commands_.push_back(std::make_unique<AnalyzeCommand>());
    commands_.push_back(std::make_unique<DownloadCommand>());
    commands_.push_back(std::make_unique<ImportCommand>());
    commands_.push_back(std::make_unique<ImportOldCommand>());
    commands_.push_back(std::make_unique<CaptureCommand>());
    commands_.push_back(std::make_unique<RepairCommand>());
    commands_.push_back(std::make_unique<ExportCommand>());
    commands_.push_back(std::make_unique<ReportCommand>());
    commands_.push_back(std::make_unique<SyncCommand>());
    commands_.push_back(std::make_unique<VersionCommand>());
}

bool Dispatcher::ownsItsOptions(const std::string& name) const
{
    return std::any_of(commands_.begin(), commands_.end(),
                       [&](const auto& c) { return c->name() == name && c->ownsItsOptions(); });
}

void Dispatcher::printHelp(std::ostream& out) const
{
    out << "Usage: tessaly-cli [--data DIR] [--password-file FILE] COMMAND [ARGUMENTS]\n"
        << "       tessaly-cli --version | --help\n\n"
        << "Works on the bookmark database of " << kProductName
        << " without windows, for scripts and servers.\n\n"
        << "Options:\n"
        << "  --data DIR            the data folder (default: $TESSALY_DATA, else\n"
        << "                        $XDG_DATA_HOME/tessaly, else ~/.local/share/tessaly)\n"
        << "  --password-file FILE  the access password, on the first line of FILE, when\n"
        << "                        \"Secure\" is on; without it the terminal is asked\n"
        << "  --help                list the commands\n"
        << "  --version             print the version\n"
        << "  --                    ends the options: an address that begins with \"-\"\n"
        << "                        goes after it\n\n"
        << "Commands:\n";
    std::size_t width = 4;
    for (const auto& command : commands_) {
        width = std::max(width, command->name().size());
    }
    out << "  " << std::string_view{"help"} << std::string(width - 4 + 3, ' ')
        << "list the commands; \"help COMMAND\" or \"COMMAND --help\": how it is used\n";
    for (const auto& command : commands_) {
        out << "  " << command->name() << std::string(width - command->name().size() + 3, ' ')
            << command->summary() << '\n';
    }
    out << "\nOutput of list (tsv or csv), keywords and details (tsv): a header line, then\n"
        << "a row per record.\n"
        << "  tsv  one line per row, fields split by one tab; in a field a tab, line feed,\n"
        << "       carriage return and backslash are written \\t, \\n, \\r and \\\\\n"
        << "  csv  RFC 4180: a field with a comma, quote or line break is quoted, quotes\n"
        << "       doubled; tabs and line breaks stay inside the quotes, a backslash as is\n"
        << "  In both, and in every other line and message, any other control character\n"
        << "  (U+0000-U+001F, U+007F-U+009F) is written \\xHH (hex), and a byte that is\n"
        << "  not UTF-8 as its Windows-1252 character. list leaves the site password\n"
        << "  blank unless --show-passwords is given.\n"
        << "  list writes the twenty bookmark fields in record order, or with --columns\n"
        << "  only the fields named, in that order: names as the header line gives them\n"
        << "  (URL:Rating) or without the URL: (rating), or by its heading (\"Last Visit\").\n"
        << "\nOrders and fields, the same words for list, export and report design:\n"
        << wrapped(orderSpellings() + ".") << wrapped(fieldSpellings() + ".") << "\nExit status:\n"
        << "  0  done\n"
        << "  1  the command failed: the database refused a change or a read, a file\n"
        << "     could not be written, the output could not be written, a wrong or\n"
        << "     missing password\n"
        << "  2  bad arguments\n"
        << "  3  the database cannot be used: damaged, unreadable, a directory, or\n"
        << "     written by a newer version\n";
}

int Dispatcher::run(const std::vector<std::string>& arguments, std::ostream& out,
                    std::ostream& plainErr)
{
    MessageStream err{plainErr};
    const int code = dispatch(arguments, out, err);
    // Output that did not reach its file is a failure even when the command
    // did its work: a script would take a short listing for the whole.
    if (!out.flush()) {
        err << "tessaly-cli: the output could not be written: " << describeWriteFailure(out)
            << '\n';
        return code == kExitOk ? kExitFailure : code;
    }
    return code;
}

int Dispatcher::dispatch(const std::vector<std::string>& argumentsIn, std::ostream& out,
                         std::ostream& err)
{
    std::vector<std::string> arguments;
    Context context{out, err, {}, {}};
    std::optional<std::string> dataFolder;
    std::optional<std::string> passwordFile;
    for (std::size_t i = 0; i < argumentsIn.size(); ++i) {
        const std::string& argument = argumentsIn[i];
        if (argument == "--") {
            // The command's own arguments, even those that look like ours.
            arguments.insert(arguments.end(), argumentsIn.begin() + i, argumentsIn.end());
            break;
        }
        std::optional<std::string>* target = nullptr;
        std::string_view option;
        for (const auto& [name, slot] :
             {std::pair{std::string_view{"--data"}, &dataFolder},
              std::pair{std::string_view{"--password-file"}, &passwordFile}}) {
            if (argument == name || argument.starts_with(std::string{name} + "=")) {
                target = slot;
                option = name;
            }
        }
        if (target == nullptr) {
            arguments.push_back(argument);
            if (arguments.size() == 1 && ownsItsOptions(argument)) {
                arguments.insert(arguments.end(), argumentsIn.begin() + i + 1, argumentsIn.end());
                break;
            }
            continue;
        }
        std::string value;
        if (argument.size() > option.size()) {
            value = argument.substr(option.size() + 1);
        } else if (i + 1 < argumentsIn.size()) {
            value = argumentsIn[++i];
        }
        if (value.empty()) {
            err << "tessaly-cli: " << option
                << (option == "--data" ? " needs a folder\n" : " needs a file\n");
            return kExitUsage;
        }
        if (*target) {
            // Which one was meant? Taking either would work on data the
            // user did not name.
            err << "tessaly-cli: " << option << " given twice\n";
            return kExitUsage;
        }
        *target = value;
    }
    context.dataFolder = dataFolder ? *dataFolder : chooseDataFolder({});
    // The file is read after the data folder became the working folder: a
    // relative name means the folder the command was given in.
    context.passwordFile = passwordFile.value_or("");
    context.passwordFile = callerPath(context.passwordFile);
    const auto isHelp = [](const std::string& word) {
        return word == "--help" || word == "-h";
    };
    const auto commandNamed = [this](const std::string& word) {
        return std::find_if(commands_.begin(), commands_.end(),
                            [&](const auto& c) { return c->name() == word; });
    };
    // "help sync" and "sync --help": how that command is used.
    if (arguments.size() == 2 && (arguments[0] == "help" || isHelp(arguments[1]))) {
        const std::string& name = arguments[0] == "help" ? arguments[1] : arguments[0];
        if (const auto command = commandNamed(name); command != commands_.end()) {
            (*command)->printUsage(out);
            return kExitOk;
        }
        if (arguments[0] == "help") {
            err << "tessaly-cli: unknown command \"" << messageText(name)
                << "\"; see tessaly-cli --help\n";
            return kExitUsage;
        }
    }
    if (arguments.empty() || isHelp(arguments[0]) || arguments[0] == "help") {
        if (arguments.size() > 1) {
            err << "tessaly-cli: " << arguments[0] << " takes a command's name at most; "
                << "unexpected " << messageText(arguments.back()) << "\n";
            return kExitUsage;
        }
        printHelp(out);
        return kExitOk;
    }
    if (arguments[0] == "--version") {
        return (*std::find_if(commands_.begin(), commands_.end(),
                              [](const auto& c) { return c->name() == "version"; }))
            ->run({arguments.begin() + 1, arguments.end()}, context);
    }
    const auto found = std::find_if(commands_.begin(), commands_.end(),
                                    [&](const auto& c) { return c->name() == arguments[0]; });
    if (found == commands_.end()) {
        err << "tessaly-cli: unknown command \"" << messageText(arguments[0])
            << "\"; see tessaly-cli --help\n";
        return kExitUsage;
    }
    return (*found)->run({arguments.begin() + 1, arguments.end()}, context);
}

} // namespace tessaly::cli

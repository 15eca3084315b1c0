#include "cli_ui.h"

#include "command.h"
#include "core/tables.h"
#include "field_escape.h"

#include <array>
#include <cctype>
#include <utility>

namespace tessaly::cli {

namespace {

// What the windows tell a person about their boxes, and what it means at a
// terminal, where nobody presses OK and there is no previous window.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kWindowWords = {{
    {"Press OK to end this application", "tessaly-cli stops"},
    {"  Returning to previous window.", ""},
    {"  Press OK to return to the calling procedure", ""},
}};

std::string_view buttonName(Button button)
{
    switch (button) {
    case ButtonOk:
        return "OK";
    case ButtonYes:
        return "Yes";
    case ButtonNo:
        return "No";
    case ButtonCancel:
        return "Cancel";
    case ButtonAbort:
        return "Abort";
    case ButtonRetry:
        return "Retry";
    case ButtonIgnore:
        return "Ignore";
    default:
        return "Help";
    }
}

// "TESSLY" -> "TESSLY (URLDATA.tps)": the names messages give the files,
// followed by the file a user can find in the data folder.
void nameFilesOnDisk(std::string& text)
{
    for (const TableDef* table : {&bookmarkTable(), &configurationTable(), &categoryTable(),
                                  &catHtmlTable(), &keywordTable(), &detailTable()}) {
        const std::string name =
            table->description.empty()
                ? std::string{table->label}
                : std::string{table->description} + " [" + std::string{table->label} + "]";
        const std::string file = std::string{table->container} + ".tps";
        const std::string disk = table->description.empty() ? " (" + file + ")" : " in " + file;
        for (std::size_t at = text.find(name); at != std::string::npos;
             at = text.find(name, at + 1)) {
            const std::size_t end = at + name.size();
            const bool whole =
                (at == 0 || !std::isalnum(static_cast<unsigned char>(text[at - 1]))) &&
                (end == text.size() || (!std::isalnum(static_cast<unsigned char>(text[end])) &&
                                        text[end] != '.' && text[end] != '_'));
            if (whole && text.compare(end, disk.size(), disk) != 0) {
                text.insert(end, disk);
                at = end + disk.size() - 1;
            }
        }
    }
}

} // namespace

std::string terminalWords(const MessageRequest& request)
{
    std::string text = request.text;
    nameFilesOnDisk(text);
    bool replaced = false;
    for (const auto& [window, terminal] : kWindowWords) {
        if (const auto at = text.find(window); at != std::string::npos) {
            text.replace(at, window.size(), terminal);
            replaced = true;
        }
    }
    // The fatal messages end on the window phrase without a full stop.
    if (replaced && !text.empty() && text.back() != '.') {
        text += '.';
    }
    // A question has no one to answer it: say which answer was taken.
    if ((request.buttons & (request.buttons - 1U)) != 0) {
        text += "  (tessaly-cli answers ";
        text += buttonName(request.defaultButton);
        text += ".)";
    }
    return text;
}

Button CliUi::showMessage(const MessageRequest& request)
{
    if (quietReadOnly_ && request.title == "Access Denied") {
        return request.defaultButton;
    }
    // Messages quote stored text (a location, a category): it must not
    // drive the terminal.
    err_ << messageText(request.title) << ": " << messageText(terminalWords(request)) << '\n';
    err_.flush();
    return request.defaultButton;
}

std::optional<std::string> CliUi::pickCategory(std::string_view /*nearest*/)
{
    return std::nullopt;
}

bool CliUi::runQuery(const QueryRequest& /*request*/, std::string& /*filter*/)
{
    return false; // queries come from --query
}

void CliUi::beginProgress(std::string_view /*caption*/)
{}

void CliUi::reportProgress(int /*percent*/, std::string_view /*status*/)
{}

bool CliUi::cancelRequested()
{
    return false;
}

void CliUi::endProgress()
{}

void CliUi::halt(int /*exitCode*/)
{
    // Every halt of the core follows a database that cannot be used
    // (damaged, unreadable, newer, not a file): one status for scripts,
    // apart from the refusals of a working database (1) and bad arguments (2).
    err_.flush();
    UiPort::halt(kExitDatabase);
}

} // namespace tessaly::cli

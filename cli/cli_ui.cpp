#include "cli_ui.h"

#include "field_escape.h"

namespace tessaly::cli {

Button CliUi::showMessage(const MessageRequest& request)
{
    // Messages quote stored text (a location, a category): it must not
    // drive the terminal.
    err_ << messageText(request.title) << ": " << messageText(request.text) << '\n';
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

void CliUi::halt(int exitCode)
{
    err_.flush();
    UiPort::halt(exitCode);
}

} // namespace tessaly::cli

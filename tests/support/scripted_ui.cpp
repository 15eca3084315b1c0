#include "scripted_ui.h"

namespace tessaly::test {

Button ScriptedUi::showMessage(const MessageRequest& request)
{
    shown.push_back(request);
    if (answers.empty()) {
        return request.defaultButton;
    }
    const Button answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedUi::pickCategory(std::string_view /*nearest*/)
{
    if (categoryAnswers.empty()) {
        return std::nullopt;
    }
    std::string answer = categoryAnswers.front();
    categoryAnswers.pop_front();
    return answer;
}

bool ScriptedUi::runQuery(const QueryRequest& /*request*/, std::string& filter)
{
    if (queryAnswers.empty()) {
        return false;
    }
    filter = queryAnswers.front();
    queryAnswers.pop_front();
    return true;
}

void ScriptedUi::beginProgress(std::string_view caption)
{
    steps_ = 0;
    progressTexts.emplace_back(caption);
}

void ScriptedUi::reportProgress(int /*percent*/, std::string_view status)
{
    ++steps_;
    progressTexts.emplace_back(status);
}

bool ScriptedUi::cancelRequested()
{
    if (whilePolled) {
        whilePolled();
    }
    return cancelAfterFirstStep && steps_ > 0;
}

void ScriptedUi::endProgress()
{}

void ScriptedUi::halt(int exitCode)
{
    if (haltForReal) {
        UiPort::halt(exitCode);
    }
    throw HaltRequested(exitCode);
}

} // namespace tessaly::test

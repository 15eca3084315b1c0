#pragma once

#include "framework/ui_port.h"

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessaly::test {

// Thrown by ScriptedUi::halt so a test can see that the program would end.
struct HaltRequested : std::runtime_error {
    explicit HaltRequested(int code) : std::runtime_error("halt"), exitCode(code) {}
    int exitCode;
};

// A UI port for tests: records every message shown and answers from a script.
// An empty script answers with the message's default button, cancels the
// category picker and the query editor, and never cancels progress.
class ScriptedUi final : public UiPort {
public:
    std::vector<MessageRequest> shown;
    std::deque<Button> answers;
    std::deque<std::string> queryAnswers;    // filters the query editor returns
    std::deque<std::string> categoryAnswers; // categories the picker returns
    std::vector<std::string> progressTexts;
    bool cancelAfterFirstStep = false;
    // Runs each time progress is polled, as the windows' events would.
    std::function<void()> whilePolled;
    bool haltForReal = false; // end the process as the program would

    Button showMessage(const MessageRequest& request) override;
    std::optional<std::string> pickCategory(std::string_view nearest) override;
    bool runQuery(const QueryRequest& request, std::string& filter) override;
    void beginProgress(std::string_view caption) override;
    void reportProgress(int percent, std::string_view status) override;
    bool cancelRequested() override;
    void endProgress() override;
    [[noreturn]] void halt(int exitCode) override;

    const MessageRequest& last() const { return shown.back(); }

private:
    int steps_ = 0;
};

} // namespace tessaly::test

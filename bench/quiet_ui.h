#pragma once

#include "framework/ui_port.h"

#include <cstdio>

namespace tessaly::bench {

// Answers every question with its default (or, when asked to, with Yes),
// so a benchmark never waits on a person; messages go to standard error,
// where a surprise shows.
class QuietUi final : public UiPort {
public:
    explicit QuietUi(bool answerYes = false) : answerYes_(answerYes) {}

    Button showMessage(const MessageRequest& r) override
    {
        std::fprintf(stderr, "%s: %s\n", r.title.c_str(), r.text.c_str());
        return answerYes_ && (r.buttons & ButtonYes) != 0 ? ButtonYes : r.defaultButton;
    }
    std::optional<std::string> pickCategory(std::string_view) override { return std::nullopt; }
    bool runQuery(const QueryRequest&, std::string&) override { return false; }
    void beginProgress(std::string_view) override {}
    void reportProgress(int, std::string_view) override {}
    bool cancelRequested() override { return false; }
    void endProgress() override {}

private:
    bool answerYes_ = false;
};

} // namespace tessaly::bench

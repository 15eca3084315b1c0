#include "links/network_steps.h"

#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>

namespace tessaly {

namespace {

constexpr std::size_t kLogWidth = 255;

std::string_view trimLeft(std::string_view text)
{
    return text.substr(std::min(text.find_first_not_of(' '), text.size()));
}

} // namespace

void NetworkSteps::cancel()
{
    cancelled_ = true;
    result_ = kCancelled;
}

// The first 255 characters, control characters as blanks, when not blank.
void NetworkSteps::addLog(std::string_view text)
{
    std::string line{utf8::prefix(trimLeft(text), kLogWidth)};
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < ' ') {
            c = ' ';
        }
    }
    line = std::string{trimLeft(line)};
    if (!text::clip(line).empty()) {
        log_.push_back(std::move(line));
    }
}

bool NetworkSteps::runStep()
{
    if (cancelled_ || step_ >= kFinished) {
        return false;
    }
    ++step_;
    response_.clear();
    doStep(step_);
    if (cancelled_) {
        result_ = kCancelled;
        return false;
    }
    addLog(response_);
    return step_ < kFinished;
}

void NetworkSteps::runThroughNetwork()
{
    while (!nextStepWaitsOnNetwork() && runStep()) {
    }
    runStep();
}

int NetworkSteps::run()
{
    while (runStep()) {
    }
    return result_;
}

} // namespace tessaly

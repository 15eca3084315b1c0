#include "frame/exit_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tessaly::gui {

namespace {

int pipeEnds[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void onExitSignal(int number)
{
    const char byte = static_cast<char>(number);
    // Only async-signal-safe calls here; a full pipe already holds a request.
    [[maybe_unused]] const auto written = ::write(pipeEnds[1], &byte, 1);
}

} // namespace

ExitSignals::ExitSignals(std::function<void()> exit, QObject* parent)
    : QObject(parent), exit_(std::move(exit))
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // the signals keep their default action
    }
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ExitSignals::arrived);
    struct sigaction action {};
    action.sa_handler = onExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kSignals) {
        ::sigaction(number, &action, nullptr);
    }
}

ExitSignals::~ExitSignals()
{
    if (notifier_ == nullptr) {
        return;
    }
    for (const int number : kSignals) {
        ::signal(number, SIG_DFL);
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void ExitSignals::arrived()
{
    char bytes[16];
    while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
    }
    if (exit_) {
        exit_();
    }
}

} // namespace tessaly::gui

#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tessaly::gui {

// SIGTERM, SIGHUP and SIGINT (a desktop logout, a closed terminal, Ctrl+C)
// end the program as File > Exit does: the handler only writes a byte to a
// pipe, and the window thread reads it and calls `exit`, so the window
// positions are saved and the files closed in order. One at a time.
class ExitSignals final : public QObject {
    Q_OBJECT

public:
    explicit ExitSignals(std::function<void()> exit, QObject* parent = nullptr);
    ~ExitSignals() override;

private:
    void arrived();

    std::function<void()> exit_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace tessaly::gui

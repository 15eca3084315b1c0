#pragma once

#include "links/network_steps.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QTimer>

#include <memory>

class QLabel;
class QListWidget;
class QProgressBar;

namespace tessaly::gui {

// The window of a network run in steps ("Test Link", "Analyze URL"): each
// step on the progress bar, what the server said in the log, the bytes
// arriving while the network step runs on a worker. exec() returns the
// run's result; "Cancel" (or Escape) returns NetworkSteps::kCancelled at
// once, with the network call under way abandoned.
class NetworkStepsWindow : public QDialog {
    Q_OBJECT

public:
    NetworkStepsWindow(const QString& title, std::string_view address,
                       std::unique_ptr<NetworkSteps> steps, QWidget* parent = nullptr);
    ~NetworkStepsWindow() override;

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    NetworkSteps& steps() { return *steps_; }
    const NetworkSteps& steps() const { return *steps_; }

private:
    void runNextStep();
    void showStep();
    void showArriving();

    std::unique_ptr<NetworkSteps> steps_;
    QString address_;
    QLabel* addressLabel_ = nullptr;
    QLabel* arrivingLabel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QListWidget* log_ = nullptr;
    QFutureWatcher<void> network_;
    QTimer arriving_;
    std::size_t linesShown_ = 0;
    bool started_ = false;
};

} // namespace tessaly::gui

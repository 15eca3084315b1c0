#include "links/network_steps_window.h"

#include "framework/form_widgets.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace tessaly::gui {

NetworkStepsWindow::NetworkStepsWindow(const QString& title, std::string_view address,
                                       std::unique_ptr<NetworkSteps> steps, QWidget* parent)
    : QDialog(parent), steps_(std::move(steps)),
      address_(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())).trimmed())
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* status = new QGroupBox(QStringLiteral("Status"), this);
    auto* statusLayout = new QVBoxLayout(status);
    addressLabel_ = new QLabel(QStringLiteral("Downloading..."), status);
    addressLabel_->setObjectName(QStringLiteral("Address"));
    progress_ = new QProgressBar(status);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    arrivingLabel_ = new QLabel(status);
    arrivingLabel_->setObjectName(QStringLiteral("Arriving"));
    statusLayout->addWidget(addressLabel_);
    statusLayout->addWidget(progress_);
    statusLayout->addWidget(arrivingLabel_);
    layout->addWidget(status);
    log_ = new QListWidget(this);
    log_->setObjectName(QStringLiteral("Log"));
    layout->addWidget(log_, 1);
    connect(addEndButton(layout, this, QStringLiteral("Cancel")), &QPushButton::clicked, this,
            &NetworkStepsWindow::reject);
    resize(420, 300);
    connect(&network_, &QFutureWatcher<void>::finished, this, &NetworkStepsWindow::showStep);
    // A page read whole may take a while: what has arrived is shown as it
    // grows, a tenth of a second apart.
    arriving_.setInterval(100);
    connect(&arriving_, &QTimer::timeout, this, &NetworkStepsWindow::showArriving);
}

NetworkStepsWindow::~NetworkStepsWindow()
{
    if (network_.isRunning()) {
        steps_->cancel();
        network_.waitForFinished();
    }
}

void NetworkStepsWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    addressLabel_->setText(address_);
    if (!started_) {
        started_ = true;
        setCursor(Qt::BusyCursor);
        // Nothing is sent before the window is up.
        QTimer::singleShot(0, this, &NetworkStepsWindow::runNextStep);
    }
}

void NetworkStepsWindow::showArriving()
{
    if (const std::int64_t bytes = steps_->bytesSoFar(); bytes > 0) {
        arrivingLabel_->setText(QString::number(bytes) + QStringLiteral(" bytes read"));
        if (const int step = steps_->stepOfArrivingBytes(); step > 0) {
            progress_->setValue(std::min(step * 10, 100));
        }
    }
}

void NetworkStepsWindow::runNextStep()
{
    if (steps_->result() == NetworkSteps::kCancelled) {
        return;
    }
    if (steps_->nextStepWaitsOnNetwork()) {
        // The window keeps repainting and Cancel keeps working while the
        // server takes its time.
        arriving_.start();
        network_.setFuture(QtConcurrent::run([this] { steps_->runStep(); }));
        return;
    }
    steps_->runStep();
    showStep();
}

void NetworkStepsWindow::showStep()
{
    arriving_.stop();
    if (steps_->result() == NetworkSteps::kCancelled) {
        return;
    }
    showArriving();
    progress_->setValue(std::min(steps_->step() * 10, 100));
    const std::vector<std::string>& lines = steps_->log();
    for (; linesShown_ < lines.size(); ++linesShown_) {
        log_->addItem(QString::fromStdString(lines[linesShown_]));
    }
    log_->scrollToBottom();
    if (steps_->step() >= NetworkSteps::kFinished) {
        unsetCursor();
        progress_->setValue(90);
        done(steps_->result());
        return;
    }
    QTimer::singleShot(0, this, &NetworkStepsWindow::runNextStep);
}

void NetworkStepsWindow::reject()
{
    steps_->cancel();
    arriving_.stop();
    if (network_.isRunning()) {
        // The abort makes the open return at once; nothing the run fills
        // may be touched by it after the caller has moved on.
        network_.waitForFinished();
    }
    unsetCursor();
    done(NetworkSteps::kCancelled);
}

} // namespace tessaly::gui

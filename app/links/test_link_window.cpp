#include "links/test_link_window.h"

#include "core/tables.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace tessaly::gui {

TestLinkWindow::TestLinkWindow(std::string_view address, Record& bookmark, Database& database,
                               std::int32_t today, QWidget* parent, HttpLimits limits)
    : QDialog(parent), test_(address, bookmark, database, today, limits),
      address_(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())).trimmed())
{
    setWindowTitle(QStringLiteral("Test Link"));
    auto* layout = new QVBoxLayout(this);
    auto* status = new QGroupBox(QStringLiteral("Status"), this);
    auto* statusLayout = new QVBoxLayout(status);
    addressLabel_ = new QLabel(QStringLiteral("Downloading..."), status);
    addressLabel_->setObjectName(QStringLiteral("Address"));
    progress_ = new QProgressBar(status);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    statusLayout->addWidget(addressLabel_);
    statusLayout->addWidget(progress_);
    layout->addWidget(status);
    log_ = new QListWidget(this);
    log_->setObjectName(QStringLiteral("Log"));
    layout->addWidget(log_, 1);
    auto* buttons = new QHBoxLayout;
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(cancel, &QPushButton::clicked, this, &TestLinkWindow::reject);
    buttons->addStretch();
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    resize(420, 300);
    connect(&network_, &QFutureWatcher<void>::finished, this, &TestLinkWindow::showStep);
}

TestLinkWindow::~TestLinkWindow()
{
    if (network_.isRunning()) {
        test_.cancel();
        network_.waitForFinished();
    }
}

void TestLinkWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    addressLabel_->setText(address_);
    if (!started_) {
        started_ = true;
        setCursor(Qt::BusyCursor);
        // Nothing is sent before the window is up.
        QTimer::singleShot(0, this, &TestLinkWindow::runNextStep);
    }
}

void TestLinkWindow::runNextStep()
{
    if (test_.result() == kLinkCancelled) {
        return;
    }
    if (test_.nextStepWaitsOnNetwork()) {
        // The window keeps repainting and Cancel keeps working while the
        // server takes its time.
        network_.setFuture(QtConcurrent::run([this] { test_.runStep(); }));
        return;
    }
    test_.runStep();
    showStep();
}

void TestLinkWindow::showStep()
{
    if (test_.result() == kLinkCancelled) {
        return;
    }
    progress_->setValue(std::min(test_.step() * 10, 100));
    const std::vector<std::string>& lines = test_.log();
    for (; linesShown_ < lines.size(); ++linesShown_) {
        log_->addItem(QString::fromStdString(lines[linesShown_]));
    }
    log_->scrollToBottom();
    if (test_.step() >= LinkTest::kFinished) {
        unsetCursor();
        progress_->setValue(90);
        done(test_.result());
        return;
    }
    QTimer::singleShot(0, this, &TestLinkWindow::runNextStep);
}

void TestLinkWindow::reject()
{
    test_.cancel();
    if (network_.isRunning()) {
        // The abort makes the open return at once; the bookmark must not be
        // touched by it after the caller has moved on.
        network_.waitForFinished();
    }
    unsetCursor();
    done(kLinkCancelled);
}

int testBookmarkLink(Record& bookmark, Database& database, std::int32_t today, QWidget* parent)
{
    TestLinkWindow window(bookmark.text(BookmarkField::Location), bookmark, database, today,
                          parent);
    const int result = window.exec();
    storeLinkResult(database.bookmarks(), bookmark, result, today);
    return result;
}

} // namespace tessaly::gui

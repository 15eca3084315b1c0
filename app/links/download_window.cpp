#include "links/download_window.h"

#include "framework/form_widgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <climits>

namespace tessaly::gui {

DownloadWindow::DownloadWindow(PageDownload& download, QWidget* parent)
    : QDialog(parent), download_(download)
{
    setObjectName(QStringLiteral("DownloadURL"));
    setWindowTitle(QStringLiteral("Retrieve Web Document"));
    auto* layout = new QVBoxLayout(this);
    // Which page is on its way: a slow server is then seen for what it is.
    // A long one is shortened in its middle, whole in the tool tip.
    const QString address = QString::fromStdString(download.address());
    auto* addressLabel = new QLabel(this);
    addressLabel->setObjectName(QStringLiteral("Address"));
    addressLabel->setTextFormat(Qt::PlainText);
    addressLabel->setText(addressLabel->fontMetrics().elidedText(address, Qt::ElideMiddle, 340));
    addressLabel->setToolTip(address);
    layout->addWidget(addressLabel);
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    layout->addWidget(progress_);
    auto* texts = new QHBoxLayout;
    sizeLabel_ = new QLabel(QStringLiteral("0/Unknown"), this);
    sizeLabel_->setObjectName(QStringLiteral("Size"));
    // The size of a document is never known in advance.
    percentLabel_ = new QLabel(this);
    percentLabel_->setObjectName(QStringLiteral("Percent"));
    rateLabel_ = new QLabel(this);
    rateLabel_->setObjectName(QStringLiteral("Rate"));
    texts->addWidget(sizeLabel_);
    texts->addStretch();
    texts->addWidget(percentLabel_);
    texts->addStretch();
    texts->addWidget(rateLabel_);
    layout->addLayout(texts);
    connect(addEndButton(layout, this, QStringLiteral("Cancel")), &QPushButton::clicked, this,
            &DownloadWindow::reject);
    resize(360, 120);
    ticks_.setInterval(200); // 20 hundredths
    connect(&ticks_, &QTimer::timeout, this, &DownloadWindow::showProgress);
    connect(&transfer_, &QFutureWatcher<void>::finished, this, &DownloadWindow::finish);
}

DownloadWindow::~DownloadWindow()
{
    if (transfer_.isRunning()) {
        download_.cancel();
        transfer_.waitForFinished();
    }
}

void DownloadWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        setCursor(Qt::BusyCursor);
        ticks_.start();
        transfer_.setFuture(QtConcurrent::run([this] { download_.run(); }));
    }
}

void DownloadWindow::showProgress()
{
    const std::int64_t total = download_.total();
    // The bar counts in bytes, or in kilobytes for a document too large
    // for its whole numbers.
    const std::int64_t top = downloadRangeTop(total);
    const std::int64_t scale = top > INT_MAX ? 1024 : 1;
    progress_->setRange(0, static_cast<int>(top / scale));
    progress_->setValue(static_cast<int>(total / scale));
    sizeLabel_->setText(QString::fromStdString(downloadSizeText(total)));
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - download_.startTime())
                             .count() /
                         10;
    rateLabel_->setText(QString::fromStdString(downloadRateText(total, elapsed)));
}

void DownloadWindow::finish()
{
    ticks_.stop();
    unsetCursor();
    showProgress();
    if (!download_.cancelled()) {
        accept();
    }
}

void DownloadWindow::reject()
{
    download_.cancel();
    ticks_.stop();
    if (transfer_.isRunning()) {
        // The abort ends the transfer at once; the download's file must be
        // closed and removed before the caller looks at it.
        transfer_.waitForFinished();
    }
    unsetCursor();
    QDialog::reject();
}

void downloadInWindow(PageDownload& download, QWidget* parent)
{
    DownloadWindow window(download, parent);
    window.exec();
}

} // namespace tessaly::gui

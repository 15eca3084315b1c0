#include "import/clipboard_monitor.h"

#include "core/services.h"
#include "framework/dates.h"
#include "framework/window_register.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTime>
#include <QVBoxLayout>

namespace tessaly::gui {

namespace {

constexpr int kTickMs = 250;
constexpr const char* kSecretHint = "x-kde-passwordManagerHint";

} // namespace

QString capturedText(const QMimeData* data)
{
    if (data == nullptr) {
        return {};
    }
    if (data->hasFormat(QString::fromUtf8(kSecretHint)) &&
        data->data(QString::fromUtf8(kSecretHint)).trimmed() == "secret") {
        return {};
    }
    return data->hasHtml() ? data->html() : data->text();
}

ClipboardMonitor::ClipboardMonitor(Services& services, QWidget* parent)
    : QDialog(parent), services_(services), capture_(services.database())
{
    setObjectName(QString::fromUtf8(kName));
    setWindowTitle(QStringLiteral("Monitor Clipboard"));
    auto* layout = new QVBoxLayout(this);
    for (const char* line : {"Any text copied to the clipboard from other applications",
                             "that contains a URL will be imported automatically",
                             "until the Exit button is pressed."}) {
        layout->addWidget(new QLabel(QString::fromUtf8(line), this));
    }
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("status"));
    layout->addWidget(statusLabel_);
    auto* exit = new QPushButton(QStringLiteral("E&xit"), this);
    exit->setObjectName(QStringLiteral("exit"));
    layout->addWidget(exit, 0, Qt::AlignHCenter);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &ClipboardMonitor::check);
    connect(&timer_, &QTimer::timeout, this, &ClipboardMonitor::check);
    connect(this, &QDialog::finished, &timer_, &QTimer::stop);
}

void ClipboardMonitor::start()
{
    const QString text = capturedText(QApplication::clipboard()->mimeData());
    if (!text.trimmed().isEmpty()) {
        last_ = text;
        const bool ignore = services_.messages().ui().askYesNo(
            "Clipboard Contains Data", "Ignore current clipboard contents?", false);
        if (!ignore) {
            captureText(text);
        }
    }
    timer_.start(kTickMs);
}

const QString& ClipboardMonitor::status() const
{
    return status_;
}

void ClipboardMonitor::check()
{
    if (!timer_.isActive()) {
        return; // not started yet, or Exit pressed
    }
    const QString text = capturedText(QApplication::clipboard()->mimeData());
    if (text.trimmed().isEmpty() || text == last_) {
        return;
    }
    last_ = text;
    captureText(text);
}

void ClipboardMonitor::captureText(const QString& text)
{
    const QTime now = QTime::currentTime();
    const std::vector<std::string> added =
        capture_.capture(text.toStdString(), dates::today(),
                         dates::clockTime(now.hour(), now.minute(), now.second()));
    if (!added.empty()) {
        status_ = QString::fromStdString(capture_.status());
        statusLabel_->setText(status_);
        WindowRegister::instance().notifyBrowseWindows();
    }
}

} // namespace tessaly::gui

#include "sync/sync_window.h"

#include "sync/sync_scheduler.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tessaly::gui {

namespace {

std::string fieldText(const QLineEdit* edit)
{
    return edit->text().trimmed().toStdString();
}

} // namespace

SyncWindow::SyncWindow(SyncScheduler& scheduler, QWidget* parent)
    : QDialog(parent), scheduler_(scheduler)
{
    setWindowTitle(QStringLiteral("Synchronise"));
    setObjectName(QStringLiteral("Synchronise"));
    const SyncServerSettings settings = scheduler_.settings();

    serverEdit_ = new QLineEdit(QString::fromStdString(settings.url));
    serverEdit_->setPlaceholderText(
        QStringLiteral("https://cloud.example/remote.php/dav/files/me/"));
    userEdit_ = new QLineEdit(QString::fromStdString(settings.user));
    passwordEdit_ = new QLineEdit;
    passwordEdit_->setEchoMode(QLineEdit::Password);
    fileEdit_ = new QLineEdit(QString::fromStdString(settings.file));
    intervalSpinBox_ = new QSpinBox;
    intervalSpinBox_->setRange(0, 24 * 60);
    intervalSpinBox_->setSuffix(QStringLiteral(" minutes"));
    intervalSpinBox_->setSpecialValueText(QStringLiteral("Never"));
    intervalSpinBox_->setValue(settings.intervalMinutes);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Server address:"), serverEdit_);
    form->addRow(QStringLiteral("&User:"), userEdit_);
    form->addRow(QStringLiteral("&Password:"), passwordEdit_);
    form->addRow(QStringLiteral("&File name:"), fileEdit_);
    form->addRow(QStringLiteral("Synchronise &every:"), intervalSpinBox_);

    const bool keeps = scheduler_.secretStoreAvailable();
    if (!settings.user.empty()) {
        if (const auto known = scheduler_.password(settings.url, settings.user)) {
            passwordEdit_->setText(QString::fromStdString(*known));
        }
    }
    auto* storeLabel = new QLabel(
        keeps ? QStringLiteral("The password is kept in the desktop's secret store.")
              : QStringLiteral("No secret store is running: the password is asked for each "
                               "time and kept only while the program runs."));
    storeLabel->setWordWrap(true);

    testButton_ = new QPushButton(QStringLiteral("&Test connection"));
    syncButton_ = new QPushButton(QStringLiteral("Synchronise &now"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(testButton_);
    buttons->addWidget(syncButton_);
    buttons->addStretch();

    statusLabel_ = new QLabel;
    statusLabel_->setWordWrap(true);
    statusLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    accountText_ = new QPlainTextEdit(scheduler_.lastAccount());
    accountText_->setReadOnly(true);

    auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(storeLabel);
    layout->addLayout(buttons);
    layout->addWidget(statusLabel_);
    layout->addWidget(new QLabel(QStringLiteral("Last account:")));
    layout->addWidget(accountText_);
    layout->addWidget(close);

    connect(testButton_, &QPushButton::clicked, this, &SyncWindow::testConnection);
    connect(syncButton_, &QPushButton::clicked, this, &SyncWindow::synchroniseNow);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(&scheduler_, &SyncScheduler::synchronised, accountText_, &QPlainTextEdit::setPlainText);
    connect(intervalSpinBox_, &QSpinBox::valueChanged, this, [this](int minutes) {
        SyncServerSettings kept = scheduler_.settings();
        kept.intervalMinutes = minutes;
        if (std::string error; !scheduler_.saveSettings(kept, error)) {
            showStatus(QString::fromStdString(error), true);
        }
    });
}

void SyncWindow::showStatus(const QString& text, bool failed)
{
    statusLabel_->setText(text);
    statusLabel_->setProperty("failed", failed);
}

bool SyncWindow::account(DavAccount& account)
{
    SyncServerSettings settings;
    settings.url = fieldText(serverEdit_);
    settings.user = fieldText(userEdit_);
    settings.file = fieldText(fileEdit_);
    settings.intervalMinutes = intervalSpinBox_->value();
    if (settings.url.empty()) {
        showStatus(QStringLiteral("Type the address of the server's folder."), true);
        serverEdit_->setFocus();
        return false;
    }
    if (const std::string refused = syncSettingsRefusal(settings); !refused.empty()) {
        showStatus(QString::fromStdString(refused), true);
        (settings.url.find_first_of("?#") != std::string::npos ? serverEdit_ : fileEdit_)
            ->setFocus();
        return false;
    }
    if (!settings.user.empty() && passwordEdit_->text().isEmpty()) {
        showStatus(QStringLiteral("Type the password."), true);
        passwordEdit_->setFocus();
        return false;
    }
    if (std::string error; !scheduler_.saveSettings(settings, error)) {
        showStatus(QString::fromStdString("The settings could not be kept: " + error), true);
        return false;
    }
    account = {settings.url, settings.user, passwordEdit_->text().toStdString(), settings.file};
    return true;
}

void SyncWindow::testConnection()
{
    DavAccount tried;
    if (!account(tried)) {
        return;
    }
    showStatus(QStringLiteral("Connecting..."), false);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    std::string words;
    const bool reached = scheduler_.testConnection(tried, words);
    QApplication::restoreOverrideCursor();
    if (reached && !tried.user.empty()) {
        scheduler_.rememberPassword(tried.folderUrl, tried.user, tried.password);
    }
    showStatus(QString::fromStdString(words), !reached);
}

void SyncWindow::synchroniseNow()
{
    DavAccount tried;
    if (!account(tried)) {
        return;
    }
    showStatus(QStringLiteral("Synchronising..."), false);
    syncButton_->setEnabled(false);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const WebDavSyncResult result = scheduler_.syncNow(tried);
    QApplication::restoreOverrideCursor();
    syncButton_->setEnabled(true);
    if (result.ok && !tried.user.empty()) {
        scheduler_.rememberPassword(tried.folderUrl, tried.user, tried.password);
    }
    showStatus(result.ok ? QStringLiteral("Synchronised.") : QString::fromStdString(result.message),
               !result.ok);
}

} // namespace tessaly::gui

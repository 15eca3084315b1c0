#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace tessaly {
struct DavAccount;
}

namespace tessaly::gui {

class SyncScheduler;

// "Synchronise": where the bookmarks are kept in step with the browsers
// (an XBEL file in a WebDAV folder), a test of the connection, a sync now,
// the interval of automatic syncs, and the last account. The password goes
// to the desktop's secret store; without one it is asked for each time the
// window opens and kept only while the program runs.
class SyncWindow final : public QDialog {
    Q_OBJECT

public:
    explicit SyncWindow(SyncScheduler& scheduler, QWidget* parent = nullptr);

    QLineEdit* serverEdit() const { return serverEdit_; }
    QLineEdit* userEdit() const { return userEdit_; }
    QLineEdit* passwordEdit() const { return passwordEdit_; }
    QLineEdit* fileEdit() const { return fileEdit_; }
    QSpinBox* intervalSpinBox() const { return intervalSpinBox_; }
    QPushButton* testButton() const { return testButton_; }
    QPushButton* syncButton() const { return syncButton_; }
    QLabel* statusLabel() const { return statusLabel_; }
    QPlainTextEdit* accountText() const { return accountText_; }

private:
    void testConnection();
    void synchroniseNow();
    // The account from the fields, the settings kept; false (with the
    // reason shown) when something is missing.
    bool account(DavAccount& account);
    void showStatus(const QString& text, bool failed);

    SyncScheduler& scheduler_;
    QLineEdit* serverEdit_ = nullptr;
    QLineEdit* userEdit_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QLineEdit* fileEdit_ = nullptr;
    QSpinBox* intervalSpinBox_ = nullptr;
    QPushButton* testButton_ = nullptr;
    QPushButton* syncButton_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QPlainTextEdit* accountText_ = nullptr;
};

} // namespace tessaly::gui

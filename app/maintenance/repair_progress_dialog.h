#pragma once

#include "core/maintenance.h"

#include <QDialog>

#include <atomic>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tessaly::gui {

// "Progress...": the file being worked on, the action, its percentage and
// the files left, with Cancel. show() and cancelRequested() may be called
// from the thread that runs the action; the labels change on the GUI
// thread.
class RepairProgressDialog final : public QDialog, public MaintenanceObserver {
    Q_OBJECT

public:
    explicit RepairProgressDialog(QWidget* parent = nullptr);

    void show(const MaintenanceProgress& progress) override;
    bool cancelRequested() override { return cancelled_; }
    void clearCancel() override { cancelled_ = false; }

    QPushButton* cancelButton() const { return cancelButton_; }
    QString currentFile() const;
    QString action() const;
    QString filesLeft() const;

private:
    void showNow(const MaintenanceProgress& progress);

    QLabel* fileLabel_ = nullptr;
    QLabel* actionLabel_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* filesLeftLabel_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    std::atomic<bool> cancelled_ = false;
};

} // namespace tessaly::gui

#include "maintenance/repair_progress_dialog.h"

#include <QFormLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly::gui {

RepairProgressDialog::RepairProgressDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Progress..."));
    auto* form = new QFormLayout;
    fileLabel_ = new QLabel(this);
    actionLabel_ = new QLabel(this);
    progressBar_ = new QProgressBar(this);
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(true); // the percentage beside the bar
    filesLeftLabel_ = new QLabel(this);
    form->addRow(tr("Current File :"), fileLabel_);
    form->addRow(tr("Action :"), actionLabel_);
    form->addRow(tr("Progress :"), progressBar_);
    form->addRow(tr("Files Left     :"), filesLeftLabel_);
    cancelButton_ = new QPushButton(tr("&Cancel"), this);
    // Cancel ends the work on the current file; the window stays for the
    // files still to come.
    connect(cancelButton_, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(cancelButton_, 0, Qt::AlignHCenter);
    setMinimumWidth(fontMetrics().averageCharWidth() * 50);
}

void RepairProgressDialog::show(const MaintenanceProgress& progress)
{
    QMetaObject::invokeMethod(
        this, [this, progress] { showNow(progress); }, Qt::QueuedConnection);
}

void RepairProgressDialog::showNow(const MaintenanceProgress& progress)
{
    fileLabel_->setText(QString::fromStdString(progress.currentFile));
    actionLabel_->setText(QString::fromStdString(progress.action));
    progressBar_->setValue(progress.percent);
    filesLeftLabel_->setText(QString::number(progress.filesLeft));
}

QString RepairProgressDialog::currentFile() const
{
    return fileLabel_->text();
}

QString RepairProgressDialog::action() const
{
    return actionLabel_->text();
}

QString RepairProgressDialog::filesLeft() const
{
    return filesLeftLabel_->text();
}

} // namespace tessaly::gui

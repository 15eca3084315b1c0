#include "reports/report_progress_window.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly::gui {

ReportProgressWindow::ReportProgressWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ReportProgress"));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    userLabel_ = new QLabel(this);
    percentLabel_ = new QLabel(this);
    percentLabel_->setObjectName(QStringLiteral("PercentLabel"));
    recordsLabel_ = new QLabel(this);
    recordsLabel_->setObjectName(QStringLiteral("RecordsLabel"));
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setTextVisible(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &ReportProgressWindow::reject);
    layout->addWidget(userLabel_);
    layout->addWidget(bar_);
    layout->addWidget(percentLabel_);
    layout->addWidget(recordsLabel_);
    layout->addWidget(buttons);
}

void ReportProgressWindow::begin(const ReportStrings& strings, bool preview)
{
    setWindowTitle(QString::fromStdString(preview ? strings.progressTitlePreview
                                                  : strings.progressTitlePrint));
    userLabel_->setText(QString::fromStdString(strings.progressUserText));
    percentText_ = strings.progressPercentText;
    recordsText_ = strings.progressRecordsText;
    stop_ = false;
    update(0, 0);
    show();
    QApplication::processEvents();
}

void ReportProgressWindow::update(int percent, std::int64_t read)
{
    bar_->setValue(percent);
    percentLabel_->setText(QString::number(percent) + QString::fromStdString(percentText_));
    recordsLabel_->setText(QLocale().toString(static_cast<qlonglong>(read)) + QLatin1Char(' ') +
                           QString::fromStdString(recordsText_));
}

bool ReportProgressWindow::stopRequested()
{
    QApplication::processEvents();
    return stop_;
}

void ReportProgressWindow::end()
{
    hide();
}

void ReportProgressWindow::reject()
{
    // The window stays: the report asks whether the user is sure, and goes
    // on under it when not.
    stop_ = true;
}

} // namespace tessaly::gui

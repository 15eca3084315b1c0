#pragma once

#include "reports/report_progress.h"

#include <QDialog>

class QLabel;
class QProgressBar;

namespace tessaly::gui {

// The progress window of a report: the report's own text, the percentage
// done and the records read, and a Cancel button; Escape cancels too. It is
// modal, since the report runs under it on the GUI thread.
class ReportProgressWindow final : public QDialog, public ReportProgress {
    Q_OBJECT

public:
    explicit ReportProgressWindow(QWidget* parent = nullptr);

    void begin(const ReportStrings& strings, bool preview) override;
    void update(int percent, std::int64_t read) override;
    bool stopRequested() override;
    void resume() override { stop_ = false; }
    void end() override;

    void reject() override; // Escape and Cancel

private:
    QLabel* userLabel_ = nullptr;
    QLabel* percentLabel_ = nullptr;
    QLabel* recordsLabel_ = nullptr;
    QProgressBar* bar_ = nullptr;
    std::string percentText_;
    std::string recordsText_;
    bool stop_ = false;
};

} // namespace tessaly::gui

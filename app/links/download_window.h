#pragma once

#include "links/page_download.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace tessaly::gui {

// "Retrieve Web Document": runs one download on a worker and shows how it
// goes every fifth of a second: bytes so far followed by "/Unknown", the
// rate, a bar that always leaves room ahead. "Cancel" (or Escape) ends the
// download at once; a cancelled download leaves no file.
class DownloadWindow : public QDialog {
    Q_OBJECT

public:
    explicit DownloadWindow(PageDownload& download, QWidget* parent = nullptr);
    ~DownloadWindow() override;

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showProgress();
    void finish();

    PageDownload& download_;
    QLabel* sizeLabel_ = nullptr;
    QLabel* percentLabel_ = nullptr;
    QLabel* rateLabel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QFutureWatcher<void> transfer_;
    QTimer ticks_;
    bool started_ = false;
};

// Runs the download in its window (the runner of the program's download
// runs).
void downloadInWindow(PageDownload& download, QWidget* parent);

} // namespace tessaly::gui

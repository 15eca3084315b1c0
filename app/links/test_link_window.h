#pragma once

#include "links/link_test.h"

#include <QDialog>
#include <QFutureWatcher>

class QLabel;
class QListWidget;
class QProgressBar;

namespace tessaly::gui {

// "Test Link": tests one address in steps, showing each step on the
// progress bar and what the server said in the log. exec() returns the
// test's result; "Cancel" (or Escape) returns kLinkCancelled at once, with
// the network call under way abandoned.
class TestLinkWindow : public QDialog {
    Q_OBJECT

public:
    TestLinkWindow(std::string_view address, Record& bookmark, Database& database,
                   std::int32_t today, QWidget* parent = nullptr, HttpLimits limits = {});
    ~TestLinkWindow() override;

    void reject() override;
    // For an address that belongs to no bookmark: no dated status line.
    void keepNoStatusLine() { test_.setRecordsStatus(false); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void runNextStep();
    void showStep();

    LinkTest test_;
    QString address_;
    QLabel* addressLabel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QListWidget* log_ = nullptr;
    QFutureWatcher<void> network_;
    std::size_t linesShown_ = 0;
    bool started_ = false;
};

// Tests the bookmark's address in the window and stores the result as
// every caller does; returns the result.
int testBookmarkLink(Record& bookmark, Database& database, std::int32_t today, QWidget* parent);

} // namespace tessaly::gui

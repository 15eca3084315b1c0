#pragma once

#include "links/link_test.h"
#include "links/network_steps_window.h"

namespace tessaly::gui {

// "Test Link": tests one address in steps, showing each step on the
// progress bar and what the server said in the log. exec() returns the
// test's result; "Cancel" (or Escape) returns kLinkCancelled at once, with
// the network call under way abandoned.
class TestLinkWindow : public NetworkStepsWindow {
    Q_OBJECT

public:
    TestLinkWindow(std::string_view address, Record& bookmark, Database& database,
                   std::int32_t today, QWidget* parent = nullptr, HttpLimits limits = {});

    // For an address that belongs to no bookmark: no dated status line.
    void keepNoStatusLine() { static_cast<LinkTest&>(steps()).setRecordsStatus(false); }
};

// Tests the bookmark's address in the window and stores the result as
// every caller does; returns the result.
int testBookmarkLink(Record& bookmark, Database& database, std::int32_t today, QWidget* parent);

} // namespace tessaly::gui

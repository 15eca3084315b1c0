#pragma once

#include "links/network_steps_window.h"
#include "links/page_analysis.h"

namespace tessaly::gui {

// "Analyze URL": reads one page whole in steps, as the link test's window
// does. exec() returns the bytes read, or kPageCancelled,
// kPageNotEstablished or kPageNotRead.
class AnalyzeUrlWindow : public NetworkStepsWindow {
    Q_OBJECT

public:
    explicit AnalyzeUrlWindow(std::string_view address, QWidget* parent = nullptr,
                              HttpLimits limits = pageReadLimits());

    const PageRead& read() const { return static_cast<const PageRead&>(steps()); }
};

// Analyses the bookmark's page in the window and fills the bookmark from
// it in memory (its keyword and detail rows are written); the caller
// writes the bookmark. Returns the window's result.
std::int32_t analyzeInWindow(Record& bookmark, Database& database, std::int32_t today,
                             QWidget* parent);

} // namespace tessaly::gui

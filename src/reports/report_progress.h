#pragma once

#include "reports/report_strings.h"

#include <cstdint>

namespace tessaly {

class UiPort;

// The progress window of a running report: its texts come from the
// reports' display strings, it shows the percentage done and the records
// read, and its Cancel (or Escape) asks the report to stop.
class ReportProgress {
public:
    virtual ~ReportProgress() = default;
    // Opens the window; `preview` chooses its title.
    virtual void begin(const ReportStrings& strings, bool preview) = 0;
    // Shows `percent` followed by the percentage text, and the records read.
    virtual void update(int percent, std::int64_t read) = 0;
    // Polled once per 25 records, when the windows handle their events:
    // true once the user pressed Cancel or Escape.
    virtual bool stopRequested() = 0;
    // The user answered that the report is to go on after all.
    virtual void resume() = 0;
    virtual void end() = 0;
};

// The progress of a report through the UI port's own progress window (the
// command line's, the tests'). Its Cancel cannot be taken back: once the
// user chose to go on, it is not asked again.
class UiReportProgress final : public ReportProgress {
public:
    explicit UiReportProgress(UiPort& ui) : ui_(ui) {}

    void begin(const ReportStrings& strings, bool preview) override;
    void update(int percent, std::int64_t read) override;
    bool stopRequested() override;
    void resume() override { resumed_ = true; }
    void end() override;

private:
    UiPort& ui_;
    std::string percentText_;
    bool resumed_ = false;
};

} // namespace tessaly

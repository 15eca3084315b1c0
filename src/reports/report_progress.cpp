#include "reports/report_progress.h"

#include "framework/ui_port.h"

namespace tessaly {

void UiReportProgress::begin(const ReportStrings& strings, bool preview)
{
    percentText_ = strings.progressPercentText;
    resumed_ = false;
    ui_.beginProgress(preview ? strings.progressTitlePreview : strings.progressTitlePrint);
}

void UiReportProgress::update(int percent, std::int64_t /*read*/)
{
    ui_.reportProgress(percent, std::to_string(percent) + percentText_);
}

bool UiReportProgress::stopRequested()
{
    return !resumed_ && ui_.cancelRequested();
}

void UiReportProgress::end()
{
    ui_.endProgress();
}

} // namespace tessaly

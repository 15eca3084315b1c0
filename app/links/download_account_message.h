#pragma once

#include "framework/ui_port.h"
#include "links/download_account.h"

namespace tessaly::gui {

// Ends a run of downloads that got under way with its account under
// "Download", with "Show failed" when a page failed; that button opens the
// bookmark list on the bookmarks failed `today`. The open lists are told to
// show what the run changed either way.
void endDownloadRun(UiPort& ui, const DownloadSummary& summary, const DownloadTally& tally,
                    int today);

} // namespace tessaly::gui

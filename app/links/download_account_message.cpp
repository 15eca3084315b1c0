#include "links/download_account_message.h"

#include "framework/window_register.h"

namespace tessaly::gui {

void endDownloadRun(UiPort& ui, const DownloadSummary& summary, const DownloadTally& tally,
                    int today)
{
    if (!summary.started) {
        return; // asked nothing of the network: nothing to account for
    }
    WindowRegister::instance().notifyBrowseWindows();
    // A run stopped by a failed read or write said why when it happened.
    if (summary.readLevel != kLevelDone || summary.writeLevel != kLevelDone ||
        !summary.writeError.empty()) {
        return;
    }
    const unsigned buttons = tally.failed() > 0 ? ButtonOk | ButtonShowFailed : ButtonOk;
    if (ui.showMessage({"Download", downloadAccount(summary, tally), MessageIcon::Information,
                        buttons, ButtonOk}) == ButtonShowFailed) {
        WindowRegister::instance().requestFailedList(today);
    }
}

} // namespace tessaly::gui

#pragma once

#include "platform/browser_addresses.h"

#include <QObject>
#include <QStringList>

class QAction;
class QMenu;

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {
class Opener;
class Services;
} // namespace tessaly

namespace tessaly::gui {

class BrowseWindow;

// What the buttons, menu items and keys of a bookmark list do to the
// highlighted bookmark or to the rows the list shows: the form, the link
// test, launch and copy by the action choice, the download, the reports and
// dropped shortcut files. Every change they make is announced to the open
// lists.
class ListCommands final : public QObject {
    Q_OBJECT

public:
    // Today as a day number; replaceable for tests.
    using Today = std::function<std::int32_t()>;
    using FolderChooser = std::function<std::optional<std::string>()>;
    using CandidateSource = std::function<std::vector<BrowserCandidate>()>;

    ListCommands(Services& services, Opener& opener, BrowseWindow& list);

    void setToday(Today today) { today_ = std::move(today); }
    void setDownloadFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }
    void setCandidateSource(CandidateSource source) { candidateSource_ = std::move(source); }

    void copyAction();
    void launchAction();
    void newBookmark();
    void editBookmark();
    void deleteBookmark();
    void testBookmark();
    void printList();
    void printShownList();
    void downloadBookmarks();
    void getUrlFromBrowser();
    void dropShortcuts(const QStringList& paths);
    // The rows' context menu, the list's query items after the form's; the
    // one-category list (`own` false) has only the form's.
    QMenu* contextMenu(bool own, QAction* query, QAction* reset);
    // A double-click (or Enter) on a row by the DoubleClickAction setting:
    // the form, or the bookmark in the browser.
    void open(int row);

Q_SIGNALS:
    // A browser came for a double-clicked bookmark.
    void started();

private:
    Services& services_;
    Opener& opener_;
    BrowseWindow& list_;
    Today today_;
    FolderChooser chooseFolder_;
    CandidateSource candidateSource_;
};

} // namespace tessaly::gui

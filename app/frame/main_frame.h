#pragma once

#include "bookmarks/list_variant.h"
#include "core/hot_keys.h"
#include "frame/help_window.h"
#include "frame/splash_window.h"
#include "framework/message_manager.h"
#include "links/link_batch.h"
#include "platform/browser_addresses.h"
#include "platform/launcher.h"

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPrinter>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

class QMdiArea;

namespace tessaly {
class Services;
}

namespace tessaly::gui {

class BrowseWindow;
class DatabaseWatcher;
class TrayIcon;
class X11HotKeys;

// The application window: menus, toolbar and status bar, the MDI area the
// other windows open in, the tray icon and the two hot keys. It runs the
// access-password check at the end of its initialisation.
class MainFrame final : public QMainWindow {
    Q_OBJECT

public:
    // Today as (day number, clock time); replaceable for tests.
    using Clock = std::function<std::pair<std::int32_t, std::int32_t>()>;
    // Asks for the password; returns what was typed, nothing on Cancel.
    using PasswordAsker = std::function<std::optional<std::string>()>;

    explicit MainFrame(Services& services, QWidget* parent = nullptr);
    ~MainFrame() override;

    // Runs the initialisation in its order. False when the password check
    // failed: the frame must then close without showing.
    bool initialise();

    void setClock(Clock clock) { clock_ = std::move(clock); }
    void setPasswordAsker(PasswordAsker asker) { askPassword_ = std::move(asker); }
    // Whether the frame shows its splash when it first appears (tests say no).
    void setShowSplash(bool show) { showSplash_ = show; }

    QMdiArea* mdiArea() const { return mdiArea_; }
    QAction* action(const QString& name) const;
    TrayIcon* trayIcon() const { return tray_.get(); }
    HotKeys& hotKeys() { return *hotKeys_; }
    HelpWindow* helpWindow() const { return help_; }
    // "BodyInFrame" of TESSLY.INI less one, kept for the HTML export.
    int bodyInFrame() const { return bodyInFrame_; }
    // The list chosen for start-up, once the splash has closed ("Location"
    // or "Category"); empty before.
    const QString& startUpList() const { return startUpList_; }

    // Refreshes the date and time zones of the status bar.
    void refreshStatusBar();
    // Brings the frame back from the tray or the task bar and to the front.
    void restoreFrame();
    // Opens the bookmark list, or brings the open one forward.
    void openBookmarkList();
    // "&Repair Databases": the warning, then "Repair Files".
    void openRepairFiles();
    // "&New Location...": the bookmark form on a new bookmark.
    void newLocation();
    // The new-bookmark wizard on the pending address or a browser's.
    void runNewBookmarkWizard();
    // Brings the frame forward and adds each of `addresses` through the
    // new-bookmark wizard, one after another; those handed over while a
    // wizard is open wait for it.
    void openAddresses(const QStringList& addresses);
    // Where the wizard looks for browser addresses; tests put in their own.
    void setCandidateSource(std::function<std::vector<BrowserCandidate>()> source)
    {
        candidateSource_ = std::move(source);
    }
    // The import wizard, which then refreshes the open lists.
    void openImportWizard();
    void openExportWizard();
    // Opens the explorer view, single.
    void openExplorer();
    // Opens the category list, single.
    void openCategoryList();
    void openClipboardMonitor();
    // Opens a list window (the bookmark list or a variant), single.
    // Opens the list, or brings the open one forward; the list, or nullptr
    // for a list that is not a bookmark list.
    BrowseWindow* openList(const ListVariant& variant);
    // Refreshes the lists after a batch run and lists its failures when the
    // user asked for them at its account.
    void afterLinkBatch(const LinkBatchSummary& summary, std::int32_t today);
    // The bookmark list filtered to the bookmarks a run failed on `today`.
    void openFailedList(std::int32_t today);
    // The program that opens bookmarks; tests put in their own.
    void setOpener(Opener* opener) { opener_ = opener; }
    // Watches the database files for changes made by other programs.
    DatabaseWatcher* databaseWatcher() const { return watcher_; }
    // The printer of "Print Setup", on which the reports print.
    QPrinter& printer() { return printer_; }
    // A logout or a kill: every dialog in front is dismissed as with Cancel,
    // and any the work behind it opens next, then the frame closes as with
    // File > Exit.
    void endOnRequest();

Q_SIGNALS:
    // The splash closed: the list chosen by "StartupBrowse" should open.
    void startUpListRequested(const QString& which);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void wireActions();
    void wireReports();
    void buildStatusBar();
    void restorePosition();
    void savePosition();
    void handleHotKey();
    void openOptions();
    void openAbout();
    void showHelp(bool index);
    void printSetup();
    void closeSplash();
    void startUp();

    Services& services_;
    QMdiArea* mdiArea_ = nullptr;
    QList<QAction*> actions_;
    QLabel* dateZone_ = nullptr;
    QLabel* timeZone_ = nullptr;
    QTimer statusTimer_;
    DatabaseWatcher* watcher_ = nullptr;
    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<X11HotKeys> grabber_;
    std::unique_ptr<HotKeys> hotKeys_;
    std::optional<ProcedureScope> procedure_;
    QPointer<SplashWindow> splash_;
    QPointer<HelpWindow> help_;
    QPrinter printer_;
    Opener* opener_ = nullptr;
    std::function<std::vector<BrowserCandidate>()> candidateSource_;
    Clock clock_;
    PasswordAsker askPassword_;
    int bodyInFrame_ = -1;
    bool routeToTray_ = true;
    bool showSplash_ = true;
    bool shownOnce_ = false;
    bool closed_ = false;
    int endRounds_ = 0; // dialogs dismissed at a logout, one a round
    QStringList waitingAddresses_;
    bool addingAddresses_ = false;
    QString startUpList_;
};

} // namespace tessaly::gui

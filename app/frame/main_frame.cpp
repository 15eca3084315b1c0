#include "frame/main_frame.h"
#include "reports/report_printing.h"

#include "import/clipboard_monitor.h"
#include "import/import_old_dialog.h"

#include "bookmarks/bookmark_form_window.h"
#include "bookmarks/browse_window.h"
#include "bookmarks/explorer_window.h"
#include "bookmarks/new_bookmark_wizard.h"
#include "categories/category_list_window.h"
#include "categories/category_table.h"
#include "core/services.h"
#include "core/settings.h"
#include "core/tables.h"
#include "export/export_wizard.h"
#include "frame/about_window.h"
#include "frame/child_places.h"
#include "frame/frame_menus.h"
#include "frame/help_window.h"
#include "frame/splash_window.h"
#include "frame/tray_icon.h"
#include "frame/x11_hot_keys.h"
#include "framework/content_size.h"
#include "framework/database_watcher.h"
#include "framework/dates.h"
#include "framework/dialog_units.h"
#include "framework/icons.h"
#include "framework/ini_file.h"
#include "framework/picture.h"
#include "framework/window_register.h"
#include "import/import_wizard.h"
#include "links/invalid_shortcuts_window.h"
#include "links/link_batch.h"
#include "links/page_analysis.h"
#include "maintenance/repair_files_window.h"
#include "settings/options_window.h"
#include "settings/password_dialog.h"
#include "settings/themes_dialog.h"
#include "sync/sync_scheduler.h"
#include "sync/sync_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

namespace tessaly::gui {

namespace {

std::pair<std::int32_t, std::int32_t> systemNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return {dates::dayNumber(date.year(), date.month(), date.day()),
            dates::clockTime(time.hour(), time.minute(), time.second(), time.msec() / 10)};
}

QString toQt(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

MainFrame::MainFrame(Services& services, QWidget* parent)
    : QMainWindow(parent), services_(services), clock_(systemNow)
{
    // A launch may still run on a worker when the frame goes: the opener
    // lives as long as the program.
    static DesktopOpener desktopOpener;
    opener_ = &desktopOpener;
    setObjectName(QStringLiteral("Main"));
    applyTheme(services_.settings().theme);
    setWindowTitle(QStringLiteral("Tessaly 2000"));
    setWindowIcon(programIcon());
    mdiArea_ = new QMdiArea(this);
    // A child reaching past the area (a restored frame smaller than it
    // was) stays reachable.
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdiArea_);
    actions_ = buildFrameMenus(menuBar(), this);
    listWindowsInMenu(*menuBar(), *mdiArea_);
    wireActions();
    connect(&WindowRegister::instance(), &WindowRegister::failedListRequested, this,
            &MainFrame::openFailedList);
    buildFrameToolBar(*this, actions_);
    buildStatusBar();
    askPassword_ = [this] {
        return PasswordDialog(this).ask();
    };
}

MainFrame::~MainFrame()
{
    setReportPrinter(nullptr);
    if (!closed_) {
        hotKeys_.reset();
        procedure_.reset();
    }
}

QAction* MainFrame::action(const QString& name) const
{
    for (QAction* a : actions_) {
        if (a->objectName() == name) {
            return a;
        }
    }
    return nullptr;
}

void MainFrame::wireActions()
{
    // Only the commands whose windows exist are enabled; the others wait for
    // the windows that will serve them.
    auto wire = [this](const char* name, auto handler) {
        QAction* a = action(QString::fromUtf8(name));
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, handler);
    };
    wire("NewLocation", &MainFrame::newLocation);
    wire("Import", &MainFrame::openImportWizard);
    wire("Export", &MainFrame::openExportWizard);
    wire("PrintSetup", &MainFrame::printSetup);
    wire("Exit", &QWidget::close);
    wire("Options", &MainFrame::openOptions);
    wire("Tile", [this] { mdiArea_->tileSubWindows(); });
    wire("Cascade", [this] { mdiArea_->cascadeSubWindows(); });
    wire("ArrangeIcons", [this] { arrangeIcons(*mdiArea_); });
    wire("HelpContents", [this] { showHelp(false); });
    wire("HelpIndex", [this] { showHelp(true); });
    wire("About", &MainFrame::openAbout);
    wire("BrowseLocations", &MainFrame::openBookmarkList);
    wire("BrowseByKeyword", [this] { openList(keywordListVariant()); });
    wire("BrowseByDetail", [this] { openList(detailListVariant()); });
    wire("BrowseCategories", &MainFrame::openCategoryList);
    wire("BrowseByCategory", &MainFrame::openExplorer);
    wire("RepairDatabases", &MainFrame::openRepairFiles);
    wire("ValidateFavorites", [this] { validateFavorites(services_, dates::today(), this); });
    wire("ValidateMultiple", [this] {
        const std::int32_t today = dates::today();
        afterLinkBatch(validateAllLinks(services_.database(), services_.messages().ui(), today,
                                        LinkBatchOptions::from(services_.settings())),
                       today);
    });
    wire("AnalyzeMultiple", [this] {
        const std::int32_t today = dates::today();
        afterLinkBatch(analyzeAllLinks(services_.database(), services_.messages().ui(), today,
                                       LinkBatchOptions::from(services_.settings())),
                       today);
    });
    wire("ClipboardMonitor", &MainFrame::openClipboardMonitor);
    wireReports();
    wire("ImportOld", [this] {
        ImportOldDialog dialog{services_, this};
        dialog.exec();
    });
    wire("GetUrlFromBrowser", [this] {
        // The wizard then looks for the address in a browser window.
        services_.pendingAddress().clear();
        runNewBookmarkWizard();
    });
    wire("Themes", [this] {
        ThemesDialog themes(services_.settings(), services_.settingsStore(), this);
        themes.exec();
    });
    // Made now, so that automatic syncs run while the program runs.
    static DesktopSecretStore secrets;
    auto* syncs = new SyncScheduler(services_, secrets, this);
    wire("Synchronise", [this, syncs] {
        SyncWindow window{*syncs, this};
        window.exec();
    });
    for (QAction* a : actions_) {
        connect(a, &QAction::triggered, this, &MainFrame::closeSplash);
    }
}

void MainFrame::wireReports()
{
    setReportPrinter(&printer_);
    static const std::pair<const char*, std::string_view> reports[] = {
        {"ReportDescription", "URLs by Description"}, {"ReportLocation", "URLs by Location"},
        {"ReportCategory", "URLs by Category"},       {"ReportRating", "URLs by Rating"},
        {"ReportKeyword", "URLs by Keyword"},         {"ReportCategories", "Categories"},
    };
    for (const auto& [item, title] : reports) {
        QAction* a = action(QString::fromUtf8(item));
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, [this, report = findFixedReport(title)] {
            printReport(services_.database(), services_.messages().ui(), *report, printer_, this);
        });
    }
    QAction* wizard = action(QStringLiteral("ReportWizard"));
    wizard->setEnabled(true);
    connect(wizard, &QAction::triggered, this, [this] {
        printDesignedReport(services_.database(), services_.messages().ui(), printer_, this);
    });
}

void MainFrame::buildStatusBar()
{
    dateZone_ = new QLabel(this);
    dateZone_->setObjectName(QStringLiteral("DateZone"));
    timeZone_ = new QLabel(this);
    timeZone_->setObjectName(QStringLiteral("TimeZone"));
    statusBar()->addPermanentWidget(dateZone_);
    statusBar()->addPermanentWidget(timeZone_);
    statusTimer_.setInterval(1000); // 100 hundredths, the longest tick allowed
    connect(&statusTimer_, &QTimer::timeout, this, &MainFrame::refreshStatusBar);
    refreshStatusBar();
}

void MainFrame::refreshStatusBar()
{
    const auto [day, time] = clock_();
    dateZone_->setText(toQt(std::string{dates::dayName(day)} + ", " + format(day, "@D4")));
    timeZone_->setText(toQt(format(time, "@T3")));
}

bool MainFrame::initialise()
{
    procedure_.emplace("Main");
    services_.fileNames().importFile = "bookmark.htm";
    const std::string body =
        readIniValue(services_.folderPath("TESSLY.INI"), "Settings", "BodyInFrame", "");
    bodyInFrame_ = static_cast<int>(parseNumber(body).value_or(0)) - 1;
    Settings& settings = services_.settings();
    services_.settingsStore().load(settings);
    tray_ = std::make_unique<TrayIcon>();
    tray_->show();
    grabber_ = std::make_unique<X11HotKeys>();
    hotKeys_ = std::make_unique<HotKeys>(*grabber_);
    connect(grabber_.get(), &X11HotKeys::pressed, this, [this](int id) {
        hotKeys_->pressed(id);
        QTimer::singleShot(0, this, &MainFrame::handleHotKey);
    });
    hotKeys_->add("WinU");
    hotKeys_->add("WinG");
    hotKeys_->enable();
    setMinimumSize(fromDialogUnits(this, 420, 240));
    restorePosition();
    settings.theme = services_.settingsStore().get("Theme", settings.theme);
    connect(tray_.get(), &TrayIcon::restoreRequested, this, &MainFrame::restoreFrame);
    connect(tray_.get(), &TrayIcon::helpRequested, action(QStringLiteral("HelpContents")),
            &QAction::trigger);
    connect(tray_.get(), &TrayIcon::exitRequested, this, &QWidget::close);
    connect(tray_.get(), &TrayIcon::addNewUrlRequested, this, [this] {
        restoreFrame();
        runNewBookmarkWizard();
    });
    for (QAction* a : tray_->popup()->actions()) {
        connect(a, &QAction::triggered, this, &MainFrame::closeSplash);
    }
    routeToTray_ = settings.noTray == 0;
    statusTimer_.start();
    // Another program's batch reaches the open lists once it has ended.
    watcher_ = watchForLists({services_.folderPath("URLDATA.tps"),
                              services_.folderPath("URL_C.tps"), services_.folderPath("URL_H.tps")},
                             this);
    if (passwordRequired(settings)) {
        // Cancel ends the program whatever the password is.
        const std::optional<std::string> typed = askPassword_();
        return typed && passwordMatches(*typed, settings.password);
    }
    return true;
}

void MainFrame::restorePosition()
{
    PositionStore& positions = services_.positions();
    const auto number = [&](const char* key) {
        return parseNumber(positions.value("Main", key));
    };
    const auto x = number("X");
    const auto y = number("Y");
    const auto width = number("Width");
    const auto height = number("Height");
    if (width && height) {
        resize(static_cast<int>(*width), static_cast<int>(*height));
    } else {
        // A share of the screen it opens on: the design size fits a small
        // screen and leaves a large one mostly empty.
        resize(firstFrameSize(availableScreen(this), fromDialogUnits(this, 560, 340)));
    }
    if (x && y) {
        const QPoint wanted(static_cast<int>(*x), static_cast<int>(*y));
        // A position on a screen that is gone would put the frame out of sight.
        if (QGuiApplication::screenAt(wanted + QPoint(20, 20)) != nullptr) {
            move(wanted);
        }
    }
    if (number("Maximized").value_or(0) != 0) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

void MainFrame::savePosition()
{
    PositionStore& positions = services_.positions();
    const QRect frame = normalGeometry().isValid() ? normalGeometry() : geometry();
    // X and Y are the outer corner, where move() puts the window back; the
    // client area's corner sits a title bar lower and crept on each start.
    const QPoint border = geometry().topLeft() - frameGeometry().topLeft();
    positions.setValue("Main", "X", std::to_string(frame.x() - border.x()));
    positions.setValue("Main", "Y", std::to_string(frame.y() - border.y()));
    positions.setValue("Main", "Width", std::to_string(frame.width()));
    positions.setValue("Main", "Height", std::to_string(frame.height()));
    positions.setValue("Main", "Maximized", isMaximized() ? "1" : "0");
}

void MainFrame::restoreFrame()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainFrame::handleHotKey()
{
    const std::optional<HotKey> key = hotKeys_->takePending();
    if (!key) {
        return;
    }
    if (key->code == parseHotKey("WinU")) {
        restoreFrame();
    } else if (key->code == parseHotKey("WinG")) {
        restoreFrame();
        action(QStringLiteral("GetUrlFromBrowser"))->trigger();
    }
}

void MainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized()) {
        return;
    }
    // Hidden into the tray only when asked to and when there is a tray to
    // come back from; otherwise the frame stays in the task bar.
    if (routeToTray_ && tray_ && tray_->isInTray()) {
        QTimer::singleShot(0, this, [this] {
            setWindowState(windowState() & ~Qt::WindowMinimized);
            hide();
        });
    }
}

void MainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_) {
        return;
    }
    shownOnce_ = true;
    if (!showSplash_) {
        QTimer::singleShot(0, this, &MainFrame::startUp);
        return;
    }
    splash_ = new SplashWindow;
    connect(splash_, &SplashWindow::closed, this, &MainFrame::startUp);
    const QRect area = geometry();
    splash_->move(area.center() -
                  QPoint(splash_->sizeHint().width() / 2, splash_->sizeHint().height() / 2));
    splash_->show();
}

void MainFrame::closeSplash()
{
    if (splash_ != nullptr) {
        splash_->close();
        splash_ = nullptr;
    }
}

void MainFrame::startUp()
{
    startUpList_ = services_.settings().startupBrowse != "Category" ? QStringLiteral("Location")
                                                                    : QStringLiteral("Category");
    Q_EMIT startUpListRequested(startUpList_);
    if (startUpList_ == QStringLiteral("Location")) {
        openBookmarkList();
    } else {
        openExplorer();
    }
}

void MainFrame::openBookmarkList()
{
    openList(bookmarkListVariant());
}

void MainFrame::openExplorer()
{
    if (WindowRegister::instance().activate(QString::fromUtf8(ExplorerWindow::kName))) {
        return;
    }
    auto* explorer = new ExplorerWindow(services_, *opener_);
    explorer->setAttribute(Qt::WA_DeleteOnClose);
    connect(explorer->bookmarks(), &BrowseWindow::minimiseFrameRequested, this,
            &QWidget::showMinimized);
    QMdiSubWindow* window = mdiArea_->addSubWindow(explorer);
    window->setAttribute(Qt::WA_DeleteOnClose);
    placeChildWindow(*mdiArea_, *window, services_.positions(), ExplorerWindow::kName,
                     mdiArea_->viewport()->size() * 0.92);
    window->show();
}

void MainFrame::newLocation()
{
    BookmarkFormWindow form(services_, Record{bookmarkTable()}, this);
    form.exec();
}

void MainFrame::runNewBookmarkWizard()
{
    NewBookmarkWizard wizard(services_, candidateSource_, this);
    wizard.exec();
}

void MainFrame::openAddresses(const QStringList& addresses)
{
    closeSplash();
    restoreFrame();
    waitingAddresses_ << addresses;
    if (addingAddresses_) {
        return;
    }
    addingAddresses_ = true;
    while (!waitingAddresses_.isEmpty() && !closed_) {
        NewBookmarkWizard wizard(services_, candidateSource_, this, waitingAddresses_.takeFirst());
        wizard.exec();
    }
    addingAddresses_ = false;
}

void MainFrame::openClipboardMonitor()
{
    if (WindowRegister::instance().activate(QString::fromUtf8(ClipboardMonitor::kName))) {
        return;
    }
    auto* monitor = new ClipboardMonitor(services_);
    monitor->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow* window = mdiArea_->addSubWindow(monitor);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(monitor, &QDialog::finished, window, &QWidget::close);
    WindowRegister::instance().add(QString::fromUtf8(ClipboardMonitor::kName), monitor);
    placeChildWindow(*mdiArea_, *window, services_.positions(), ClipboardMonitor::kName,
                     monitor->sizeHint());
    window->show();
    monitor->start();
}

void MainFrame::openRepairFiles()
{
    UiPort& ui = services_.messages().ui();
    showRepairWarning(ui);
    RepairFilesWindow window(
        ui, ".", {services_.fileNames().importFile.str(), services_.fileNames().outputFile.str()},
        this);
    window.setReplacedHandler([this, &ui](const std::vector<std::string>&) {
        closeRepairedFiles(services_.database(), ui);
    });
    window.exec();
}

void MainFrame::openImportWizard()
{
    ImportWizard wizard(
        services_, [this] { runNewBookmarkWizard(); }, this);
    wizard.exec();
}

void MainFrame::openExportWizard()
{
    ExportWizard wizard(services_, *opener_, bodyInFrame_ == 0, this);
    wizard.exec();
}

void MainFrame::openCategoryList()
{
    if (WindowRegister::instance().activate(QString::fromUtf8(CategoryListWindow::kName))) {
        return;
    }
    auto* list = new CategoryListWindow(
        services_.database(), [this](const ListVariant& variant) { openList(variant); }, nullptr,
        [this](const Record& bookmark) {
            BookmarkFormWindow form(services_, bookmark, this);
            form.exec();
        });
    list->setAttribute(Qt::WA_DeleteOnClose);
    list->table()->enableColumnPreferences(
        services_.positions(), services_.messages().ui(), CategoryListWindow::kName, {},
        [this, table = list->table()] {
            printCategoryList(services_.database(), services_.messages().ui(),
                              *table->horizontalHeader(), this);
        });
    QMdiSubWindow* window = mdiArea_->addSubWindow(list);
    window->setAttribute(Qt::WA_DeleteOnClose);
    placeChildWindow(*mdiArea_, *window, services_.positions(), CategoryListWindow::kName,
                     list->sizeHint());
    window->show();
}

void MainFrame::afterLinkBatch(const LinkBatchSummary& summary, std::int32_t today)
{
    WindowRegister::instance().notifyBrowseWindows();
    if (summary.showFailed) {
        openFailedList(today);
    }
}

void MainFrame::openFailedList(std::int32_t today)
{
    // The run marked what it failed today; a failure of an earlier run of
    // today is listed with them, as it is as current.
    if (BrowseWindow* list = openList(bookmarkListVariant())) {
        list->applyQuery("URL:Validated = " + std::to_string(kLinkFail) +
                         " AND URL:LastValidated = " + std::to_string(today));
    }
}

BrowseWindow* MainFrame::openList(const ListVariant& variant)
{
    if (QWidget* open = WindowRegister::instance().find(variant.name)) {
        // One window per list; the one-category list shows the category now
        // asked for rather than the one it was opened on.
        auto* list = qobject_cast<BrowseWindow*>(open);
        if (list != nullptr && !variant.category.empty() &&
            list->variant().category != variant.category) {
            list->setCategory(variant.category);
        }
        WindowRegister::instance().activate(variant.name);
        return list;
    }
    auto* list = new BrowseWindow(services_, *opener_, variant);
    if (!list->filesOpen()) {
        delete list; // its opening said why
        return nullptr;
    }
    list->setAttribute(Qt::WA_DeleteOnClose);
    connect(list, &BrowseWindow::minimiseFrameRequested, this, &QWidget::showMinimized);
    QMdiSubWindow* window = mdiArea_->addSubWindow(list);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // Each list keeps its place and size in the position store under its name.
    placeChildWindow(*mdiArea_, *window, services_.positions(), variant.name.toStdString(),
                     mdiArea_->viewport()->size() * 0.92);
    window->show();
    return list;
}

void MainFrame::closeEvent(QCloseEvent* event)
{
    closeSplash();
    // Each open child keeps its place and layout, as when closed by hand.
    mdiArea_->closeAllSubWindows();
    // Help and About are windows of their own; they go with the frame, or the
    // program would run on after Exit.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow()) {
            child->close();
        }
    }
    savePosition();
    if (hotKeys_) {
        hotKeys_->disable();
    }
    if (tray_) {
        tray_->remove();
    }
    statusTimer_.stop();
    if (watcher_ != nullptr) {
        watcher_->stop();
    }
    procedure_.reset();
    closed_ = true;
    event->accept();
}

void MainFrame::endOnRequest()
{
    // A dialog that will not go (one that asks again whether to close, say)
    // stops the waiting after a second: the program then leaves every event
    // loop it is in.
    constexpr int kRounds = 50;
    constexpr int kRoundMs = 20;
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr) {
        if (++endRounds_ > kRounds) {
            close();
            QCoreApplication::exit(0);
            return;
        }
        // The next round is set first: the work behind the dialog may open
        // another from inside its dismissal.
        QTimer::singleShot(kRoundMs, this, &MainFrame::endOnRequest);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        return;
    }
    close();
}

void MainFrame::openOptions()
{
    OptionsWindow options(services_.settings(), services_.settingsStore(), this);
    options.exec();
}

void MainFrame::openAbout()
{
    auto* about = new AboutWindow(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    connect(about, &AboutWindow::helpRequested, this, [this] { showHelp(false); });
    about->show();
}

void MainFrame::showHelp(bool index)
{
    if (help_ == nullptr) {
        help_ = new HelpWindow(this);
    }
    index ? help_->showIndex() : help_->showContents();
}

void MainFrame::printSetup()
{
    QPageSetupDialog dialog(&printer_, this);
    dialog.exec();
}

} // namespace tessaly::gui

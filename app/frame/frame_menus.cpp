#include "frame/frame_menus.h"

#include "framework/icons.h"

#include <QAction>
#include <QMainWindow>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QToolBar>

namespace tessaly::gui {

const QList<MenuItem>& frameMenuItems()
{
    static const QList<MenuItem> items = {
        // A first start needs a way to add a bookmark without a list open.
        {"&File", nullptr, "NewLocation", "&New Location...", "Ctrl+N", "Add a new location"},
        {"&File", nullptr, "Import", "&Import", "Ctrl+Shift+I", nullptr},
        {"&File", nullptr, "Export", "&Export", "Ctrl+Shift+E", "Export to HTML or  ASCII"},
        {"&File", "&Support Tools", "ImportOld", "&Import from Tessaly 1.x", nullptr,
         "Import from Tessaly 1.x database in another directory"},
        {"&File", "&Support Tools", "RepairDatabases", "&Repair Databases", nullptr,
         "Options that MAY repair damaged databases"},
        {"&File", nullptr, "PrintSetup", "&Print Setup ...", nullptr, "Setup printer"},
        {"&File", nullptr, "Exit", "E&xit", nullptr, "Exit this application"},
        {"&Browse", nullptr, "BrowseLocations", "&Locations", "Ctrl+Shift+L",
         "Browse URL (Internet locations)"},
        {"&Browse", nullptr, "BrowseByCategory", "L&ocations by Category", "Ctrl+Shift+C",
         "Browse locations within each category"},
        {"&Browse", nullptr, "BrowseByKeyword", "Locations by &Keyword", "Ctrl+Shift+K",
         "Browse locations by keyword"},
        {"&Browse", nullptr, "BrowseByDetail", "Locations by Detail", "Ctrl+Shift+D",
         "Details and Locations"},
        {"&Browse", nullptr, "BrowseCategories", "&Categories", nullptr, "Browse Categories"},
        {"&Reports", nullptr, "ReportWizard", "Report &Wizard", "Ctrl+Shift+R", nullptr},
        {"&Reports", nullptr, "ReportDescription", "Locations by &Description", nullptr,
         "Print ordered by Description"},
        {"&Reports", nullptr, "ReportLocation", "Locations by &Location", nullptr,
         "Print ordered by Location key"},
        {"&Reports", nullptr, "ReportCategory", "Locations by Cate&gory", nullptr,
         "Print ordered by Category key"},
        {"&Reports", nullptr, "ReportRating", "Locations by &Rating", nullptr,
         "Print ordered by Rating key"},
        {"&Reports", nullptr, "ReportKeyword", "Locations by &Keyword", nullptr,
         "Print ordered by Keyword key"},
        {"&Reports", nullptr, "ReportCategories", "&Categories", nullptr,
         "Print ordered by Category key"},
        {"&Tools", nullptr, "Options", "&Options", nullptr, "Options"},
        {"&Tools", nullptr, "GetUrlFromBrowser", "Get URL from Browser", "Ctrl+Shift+U", nullptr},
        {"&Tools", nullptr, "ClipboardMonitor", "&Clipboard Monitor", "Ctrl+Shift+M",
         "Monitor clipboard for URLs..."},
        {"&Tools", nullptr, "AnalyzeMultiple", "Analy&ze Multiple Links", "Ctrl+Shift+A", nullptr},
        {"&Tools", nullptr, "ValidateMultiple", "&Validate Multiple Links", nullptr, nullptr},
        {"&Tools", nullptr, "ValidateFavorites", "Validate &Internet Explorer Links", nullptr,
         nullptr},
        {"&Tools", nullptr, "Themes", "&Themes", nullptr, "Select an active theme"},
        {"&Tools", nullptr, "Synchronise", "&Synchronise...", nullptr,
         "Keep the bookmarks in step with the browsers through an XBEL file on a WebDAV server"},
        {"&Window", nullptr, "Tile", "T&ile", nullptr, "Make all open windows visible"},
        {"&Window", nullptr, "Cascade", "&Cascade", nullptr, "Stack all open windows"},
        {"&Window", nullptr, "ArrangeIcons", "&Arrange Icons", nullptr, "Align all window icons"},
        {"&Help", nullptr, "HelpContents", "&Contents", nullptr,
         "View the contents of the help file"},
        {"&Help", nullptr, "HelpIndex", "&Index", nullptr, nullptr},
        {"&Help", nullptr, "About", "&About", nullptr, "About This Program"},
    };
    return items;
}

QList<QAction*> buildFrameMenus(QMenuBar* bar, QObject* owner)
{
    QList<QAction*> actions;
    QMap<QString, QMenu*> menus;
    for (const MenuItem& item : frameMenuItems()) {
        const QString menuText = QString::fromUtf8(item.menu);
        QMenu*& menu = menus[menuText];
        if (menu == nullptr) {
            menu = bar->addMenu(menuText);
        }
        QMenu* target = menu;
        if (item.submenu != nullptr) {
            const QString key = menuText + QLatin1Char('/') + QString::fromUtf8(item.submenu);
            QMenu*& sub = menus[key];
            if (sub == nullptr) {
                sub = menu->addMenu(QString::fromUtf8(item.submenu));
            }
            target = sub;
        }
        const QString name = QString::fromUtf8(item.name);
        if (name == QStringLiteral("Exit") || name == QStringLiteral("About")) {
            target->addSeparator();
        }
        auto* action = new QAction(QString::fromUtf8(item.text), owner);
        action->setObjectName(name);
        if (item.shortcut != nullptr) {
            action->setShortcut(QKeySequence(QString::fromUtf8(item.shortcut)));
        }
        if (item.status != nullptr) {
            action->setStatusTip(QString::fromUtf8(item.status));
        }
        action->setEnabled(false);
        target->addAction(action);
        actions.append(action);
    }
    return actions;
}

// The Window menu ends with an entry per open window, numbered as MDI
// programs number them, the active one checked; choosing one brings it
// forward.
void listWindowsInMenu(QMenuBar& bar, QMdiArea& area)
{
    QMenu* menu = nullptr;
    for (QAction* a : bar.actions()) {
        if (a->text() == QStringLiteral("&Window")) {
            menu = a->menu();
        }
    }
    if (menu == nullptr) {
        return;
    }
    auto* separator = menu->addSeparator();
    QObject::connect(menu, &QMenu::aboutToShow, &area, [&area, menu, separator] {
        const QList<QAction*> all = menu->actions();
        for (qsizetype i = all.indexOf(separator) + 1; i < all.size(); ++i) {
            menu->removeAction(all[i]);
            all[i]->deleteLater();
        }
        const QList<QMdiSubWindow*> windows = area.subWindowList();
        separator->setVisible(!windows.isEmpty());
        for (qsizetype i = 0; i < windows.size(); ++i) {
            QMdiSubWindow* window = windows[i];
            const QString number =
                i < 9 ? QStringLiteral("&%1 ").arg(i + 1) : QStringLiteral("%1 ").arg(i + 1);
            QAction* entry = menu->addAction(number + window->windowTitle());
            entry->setCheckable(true);
            entry->setChecked(window == area.activeSubWindow());
            QObject::connect(entry, &QAction::triggered, &area, [&area, window = QPointer{window}] {
                if (window) {
                    area.setActiveSubWindow(window);
                }
            });
        }
    });
}

void buildFrameToolBar(QMainWindow& frame, const QList<QAction*>& actions)
{
    struct Button {
        const char* tip;
        const char* item;
        const char* theme;
        const char* icon;
    };
    static const Button buttons[] = {
        {"Add a new location", "NewLocation", "document-new", "new"},
        {"Tessaly 2000 options", "Options", "preferences-system", "options"},
        {"Start clipboard monitor (add many URLs quickly)", "ClipboardMonitor", "edit-paste",
         "clipboard"},
        {"Test all URLs", "ValidateMultiple", "", "validate"},
        {"Print list of locations", "ReportWizard", "document-print", "print"},
        {"View all links", "BrowseLocations", "", "list"},
        {"View links by category", "BrowseByCategory", "folder", "category"},
    };
    QToolBar* bar = frame.addToolBar(QStringLiteral("Tools"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);
    for (const Button& b : buttons) {
        QAction* item = nullptr;
        for (QAction* a : actions) {
            if (a->objectName() == QString::fromUtf8(b.item)) {
                item = a;
            }
        }
        QAction* button = bar->addAction(
            themedIcon(QString::fromUtf8(b.theme), QString::fromUtf8(b.icon)), QString{});
        button->setToolTip(QString::fromUtf8(b.tip));
        button->setObjectName(QStringLiteral("Tool") + item->objectName());
        button->setEnabled(item->isEnabled());
        QObject::connect(item, &QAction::changed, button,
                         [button, item] { button->setEnabled(item->isEnabled()); });
        QObject::connect(button, &QAction::triggered, item, &QAction::trigger);
    }
}

} // namespace tessaly::gui

#include "bookmarks/list_commands.h"

#include "bookmarks/background_launch.h"
#include "bookmarks/bookmark_form.h"
#include "bookmarks/bookmark_form_window.h"
#include "bookmarks/browse_window.h"
#include "bookmarks/dropped_shortcut.h"
#include "bookmarks/list_actions.h"
#include "bookmarks/new_bookmark_wizard.h"
#include "columns/list_export.h"
#include "core/services.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/display_width.h"
#include "framework/text.h"
#include "framework/window_register.h"
#include "links/download_account_message.h"
#include "links/download_batch.h"
#include "links/download_window.h"
#include "links/test_link_window.h"
#include "reports/report_printing.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QStandardPaths>
#include <QTableView>

namespace tessaly::gui {

namespace {

std::int32_t systemToday()
{
    const QDate d = QDate::currentDate();
    return dates::dayNumber(d.year(), d.month(), d.day());
}

} // namespace

ListCommands::ListCommands(Services& services, Opener& opener, BrowseWindow& list)
    : QObject(&list), services_(services), opener_(opener), list_(list), today_(systemToday),
      chooseFolder_([this]() -> std::optional<std::string> {
          const QString chosen = QFileDialog::getExistingDirectory(
              &list_, QStringLiteral("Save to folder..."),
              // Not the current folder: that is the program's data folder.
              QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
          if (chosen.isEmpty()) {
              return std::nullopt;
          }
          return chosen.toStdString();
      })
{}

void ListCommands::copyAction()
{
    const int row = list_.currentRow();
    const Record empty{bookmarkTable()};
    const Record& bookmark = row >= 0 ? list_.model()->bookmark(row) : empty;
    const std::string text =
        actionText(list_.actionChoice()->currentText().toStdString(), bookmark);
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void ListCommands::launchAction()
{
    const int row = list_.currentRow();
    if (row < 0) {
        return;
    }
    const Record bookmark = list_.model()->bookmark(row);
    const std::string choice = list_.actionChoice()->currentText().toStdString();
    const bool launched = tessaly::launchAction(
        choice, bookmark, services_.database().bookmarks(), today_(),
        [this](const std::string& target) {
            launchInBackground(target, opener_, services_.messages().ui(), &list_);
        },
        services_.messages().ui());
    if (launched && choice == "URL") {
        WindowRegister::instance().notifyBrowseWindows(); // its Last Visit
    }
}

void ListCommands::open(int row)
{
    if (row < 0) {
        return;
    }
    if (services_.settings().doubleClickAction != "Start URL") {
        editBookmark();
        return;
    }
    const Record bookmark = list_.model()->bookmark(row);
    const std::string location = actionText("URL", bookmark);
    // The frame gets out of the browser's way only when a browser came; a
    // failure leaves it as it was, with the message in front.
    launchInBackground(location, opener_, services_.messages().ui(), &list_, [this](bool ok) {
        if (ok) {
            Q_EMIT started();
        }
    });
    recordVisit(services_.database().bookmarks(), location, today_());
    WindowRegister::instance().notifyBrowseWindows();
}

void ListCommands::newBookmark()
{
    Record bookmark{bookmarkTable()};
    bookmark.setText(BookmarkField::Category, list_.variant().category); // the category list's own
    BookmarkFormWindow form(services_, bookmark, &list_);
    form.exec();
}

void ListCommands::editBookmark()
{
    const int row = list_.currentRow();
    if (row < 0) {
        return;
    }
    BookmarkFormWindow form(services_, list_.model()->bookmark(row), &list_);
    form.exec();
}

void ListCommands::deleteBookmark()
{
    const int row = list_.currentRow();
    if (row < 0) {
        return;
    }
    const Record bookmark = list_.model()->bookmark(row);
    if (tessaly::deleteBookmark(services_.database(), bookmark) == kLevelDone) {
        WindowRegister::instance().notifyBrowseWindows();
    }
}

void ListCommands::testBookmark()
{
    const int row = list_.currentRow();
    if (row < 0) {
        return;
    }
    Record bookmark = list_.model()->bookmark(row);
    FileManager& bookmarks = services_.database().bookmarks();
    if (const FilesInUse files{&bookmarks};
        files.level() != kLevelDone ||
        bookmarks.fetch(static_cast<int>(BookmarkKey::Location), bookmark) != kLevelDone) {
        return;
    }
    // Cancel ends the test only: the list stays as it was, highlight and
    // all, since the user may well test the next one.
    const int result = testBookmarkLink(bookmark, services_.database(), today_(), &list_);
    if (result != kLinkCancelled && result != kLinkUnknown) {
        WindowRegister::instance().notifyBrowseWindows();
    }
}

void ListCommands::printList()
{
    printDesignedReport(services_.database(), services_.messages().ui(), reportPrinter(), &list_);
    list_.reload();
}

// "Print List...": the list as it stands (its shown columns in their order
// and with their headings, its filter and order) through the reports' pages,
// preview and printer.
void ListCommands::printShownList()
{
    const ListVariant& variant = list_.variant();
    const TableDef& table = list_.file().table();
    ListRows& rows = list_.rows();
    ReportDefinition report;
    report.title = list_.windowTitle().toStdString();
    report.table = &table;
    report.key = rows.order();
    // The columns' headings as the screen shows them; the report's columns
    // read them while it runs.
    std::vector<std::string> headings;
    const std::vector<int> shown = shownColumns(*list_.table()->horizontalHeader());
    headings.reserve(shown.size());
    int width = 0;
    for (const int logical : shown) {
        const ListColumn& column = variant.columns[static_cast<std::size_t>(logical)];
        for (const ReportColumn& offered : designColumns()) {
            if (offered.field == column.field) {
                // Wrapped, never cut: the printed list shows what the
                // screen shows, however many columns share the page.
                headings.push_back(column.heading.toStdString());
                report.columns.push_back(offered);
                report.columns.back().header = headings.back();
                report.columns.back().overflow = Overflow::Wrap;
                report.columns.back().width =
                    std::max(offered.width, static_cast<int>(display::width(headings.back())));
                width += report.columns.back().width;
            }
        }
    }
    if (report.columns.empty()) {
        return;
    }
    report.landscape = width > 100;
    const std::string filter = list_.filterText(list_.queryText());
    if (variant.source == ListVariant::Source::Bookmarks) {
        // The rows as the screen has them: its order (blanks where the
        // screen puts them, ties as they stand) and its filter.
        printReport(services_.database(), services_.messages().ui(), report, reportPrinter(),
                    &list_, filter, rows.positions());
        return;
    }
    // An order the key alone does not give is spelt out as a sort.
    const auto term = [&](int field, bool descending) {
        const FieldDef& def = table.schema->fields()[static_cast<std::size_t>(field)];
        const std::string label{def.label};
        return (descending ? "-" : "") + (def.isText() ? "UPPER(" + label + ")" : label);
    };
    if (const std::optional<int> field = rows.sortField()) {
        report.sortExpression = term(*field, rows.descending());
    } else if (rows.descending()) {
        const KeyDef& key = table.keys[static_cast<std::size_t>(rows.order())];
        for (const KeyComponent& component : key.components) {
            report.sortExpression += (report.sortExpression.empty() ? "" : ",") +
                                     term(component.field, !component.descending);
        }
    }
    printReport(services_.database(), services_.messages().ui(), report, reportPrinter(), &list_,
                filter);
}

void ListCommands::downloadBookmarks()
{
    const int row = list_.currentRow();
    const bool ofBookmarks = list_.variant().source == ListVariant::Source::Bookmarks;
    // The rows a bookmark list shows are those its filter selects; a
    // keyword or detail list's query is over rows of its own. With no query
    // in force the highlighted bookmark alone is meant, also in a list held
    // to one category.
    std::string filter = ofBookmarks ? list_.filterText(list_.queryText()) : std::string{};
    if ((list_.queryText().empty() || !ofBookmarks) && row >= 0) {
        const std::string location = list_.model()->bookmark(row).text(BookmarkField::Location);
        if (!text::clip(location).empty()) {
            filter = currentBookmarkFilter(location);
        }
    }
    // One day for the run and its "Show failed", also across midnight.
    const auto today = today_();
    DownloadBatch batch{services_.database(), services_.messages().ui(), today,
                        services_.folderPath("DOWNLOAD.LOG")};
    batch.setRunner([this](PageDownload& download) { downloadInWindow(download, &list_); });
    batch.setBounds(downloadBounds(services_.settings()));
    batch.setJobs(services_.settings().linkTestJobs, services_.settings().linkTestsPerHost);
    DownloadTally tally;
    batch.setObserver([&tally](const DownloadItem& item) { tally.add(item); });
    const DownloadSummary summary = batch.run(filter, chooseFolder_);
    endDownloadRun(services_.messages().ui(), summary, tally, today);
}

void ListCommands::getUrlFromBrowser()
{
    // The pending address stays as it is.
    NewBookmarkWizard wizard(services_, candidateSource_, &list_);
    wizard.exec();
}

QMenu* ListCommands::contextMenu(bool own, QAction* query, QAction* reset)
{
    auto* menu = new QMenu(&list_);
    const auto item = [this, menu](const char* text, void (ListCommands::*command)()) {
        connect(menu->addAction(QString::fromUtf8(text)), &QAction::triggered, this, command);
    };
    item("&Insert", &ListCommands::newBookmark);
    item("&Change", &ListCommands::editBookmark);
    item("&Delete", &ListCommands::deleteBookmark);
    menu->addSeparator();
    menu->addAction(query);
    menu->addAction(reset);
    menu->addSeparator();
    item("Copy to clipboard (action)", &ListCommands::copyAction);
    item("Launch URL", &ListCommands::launchAction);
    item("Get current URL from browser", &ListCommands::getUrlFromBrowser);
    menu->addSeparator();
    item("&Test", &ListCommands::testBookmark);
    item("&Download", &ListCommands::downloadBookmarks);
    menu->addSeparator();
    item("&Print", &ListCommands::printList);
    // The list's own items are hidden together with their buttons.
    const QList<QAction*> items = menu->actions();
    for (qsizetype i = 3; i < items.size(); ++i) {
        items[i]->setVisible(own);
    }
    return menu;
}

void ListCommands::dropShortcuts(const QStringList& paths)
{
    const RegistryAccessor& registry = services_.registry();
    const std::string favorites =
        registry.mapPath(registry.read(kShellFolders, "Favorites", kDefaultFavorites));
    for (const QString& path : paths) {
        const DroppedShortcut shortcut = readDroppedShortcut(path.toStdString(), favorites);
        addDroppedShortcut(shortcut, services_.database());
    }
    WindowRegister::instance().notifyBrowseWindows();
}

} // namespace tessaly::gui

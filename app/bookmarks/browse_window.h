#pragma once

#include "bookmarks/bookmark_list_model.h"
#include "bookmarks/list_commands.h"
#include "bookmarks/list_format.h"
#include "bookmarks/list_rows.h"
#include "bookmarks/list_sorting.h"
#include "bookmarks/list_variant.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QTabBar;
class QTableView;

namespace tessaly {
class Expression;
class FileManager;
class Opener;
class Services;
} // namespace tessaly

namespace tessaly::gui {

// The bookmark list "BrowseTESSLY" and its variants (keywords, details, one
// category): orders on tabs with their locators, the validation icons, copy
// and launch by the action choice, double-click by the DoubleClickAction
// setting, dragged rows and dropped shortcuts, queries, and the saved column
// layout. It reloads on the refresh notice.
class HeaderPreferences;

class BrowseWindow final : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* kName = "BrowseTESSLY";

    using Today = ListCommands::Today;

    BrowseWindow(Services& services, Opener& opener, ListVariant variant = bookmarkListVariant(),
                 QWidget* parent = nullptr);
    ~BrowseWindow() override;

    void setToday(Today today) { commands_->setToday(std::move(today)); }

    // Reads the rows again and rebuilds the title.
    void reload();

    QTableView* table() const { return table_; }
    QTabBar* tabs() const { return tabs_; }
    QComboBox* actionChoice() const { return actionChoice_; }
    BookmarkListModel* model() const { return model_.get(); }
    bool paging() const { return rows_->paging(); }
    ListRows& rows() { return *rows_; }
    FileManager& file() { return own_; }
    // False when its files could not be opened: the window has nothing to show.
    bool filesOpen() const { return filesOpen_; }
    // The highlighted row, or -1.
    int currentRow() const;
    // The bookmark a row belongs to: the row itself in the bookmark list.
    const Record& bookmarkOf(const Record& row);

    // The list's commands (see ListCommands).
    ListCommands& commands() { return *commands_; }
    void copyAction() { commands_->copyAction(); }
    void launchAction() { commands_->launchAction(); }
    // "&New", "&Edit", "&Delete": the bookmark form (delete asks and deletes
    // without showing it).
    void newBookmark() { commands_->newBookmark(); }
    void editBookmark() { commands_->editBookmark(); }
    void deleteBookmark() { commands_->deleteBookmark(); }
    // "&Test": the link test of the highlighted bookmark, its result stored.
    void testBookmark() { commands_->testBookmark(); }
    // "&Print": the designed report, then the list read again.
    void printList() { commands_->printList(); }
    // "&Download": the pages of the rows the list shows (of the highlighted
    // one when it shows them all) into a folder the user picks.
    void downloadBookmarks() { commands_->downloadBookmarks(); }
    using FolderChooser = ListCommands::FolderChooser;
    void setDownloadFolderChooser(FolderChooser chooser)
    {
        commands_->setDownloadFolderChooser(std::move(chooser));
    }
    void closeList();
    // Shows another category's bookmarks (the explorer view's right list).
    void setCategory(const std::string& category);
    // "Get current URL from browser": the new-bookmark wizard, then a reload.
    void getUrlFromBrowser() { commands_->getUrlFromBrowser(); }
    void setCandidateSource(ListCommands::CandidateSource source)
    {
        commands_->setCandidateSource(std::move(source));
    }
    // "&Query": the Query Wizard on the list's query; "&Reset" drops it.
    void query();
    void resetQuery();
    // Filters the list by `filter` as if the Query Wizard had built it.
    void applyQuery(const std::string& filter);
    const std::string& queryText() const { return queryText_; }
    // The filter of the rows shown: the query within the list's category.
    std::string filterText(const std::string& query) const;
    // Moves the highlight to the first row at or after `typed`.
    void locate(const QString& typed);
    // Adds the .url shortcut files among `paths` as bookmarks.
    void dropShortcuts(const QStringList& paths) { commands_->dropShortcuts(paths); }

    // The column layout as a format text (order, widths, hidden columns).
    QString formatText() const { return format_->formatText(); }
    void applyFormat(const QString& format) { format_->applyFormat(format); }
    QString builtInFormat() const { return format_->builtInFormat(); }
    const ListVariant& variant() const { return variant_; }
    // The headings' choices: sorting, styles, graphs, printing and export.
    HeaderPreferences* headerPreferences() const { return headerPreferences_; }

Q_SIGNALS:
    // A double-click launch: the frame should get out of the browser's way.
    void minimiseFrameRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString title() const;
    void buildControls();
    void buildContextMenu();
    void changeOrder(int tab);
    void updateQueryControls();

    void showKeyOrder();
    std::shared_ptr<const Expression> rowFilter(const std::string& query) const;

    Services& services_;
    ListVariant variant_;
    FileManager& own_;
    bool filesOpen_ = false;
    std::map<std::string, Record> bookmarks_; // the keyword and detail rows' bookmarks
    std::unique_ptr<ListRows> rows_;
    std::unique_ptr<BookmarkListModel> model_;
    ListCommands* commands_ = nullptr;
    std::unique_ptr<ListFormat> format_;
    std::unique_ptr<ListSorting> sorting_;
    QTableView* table_ = nullptr;
    HeaderPreferences* headerPreferences_ = nullptr;
    QTabBar* tabs_ = nullptr;
    QComboBox* actionChoice_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QPushButton* testButton_ = nullptr;
    QLabel* emptyHint_ = nullptr;
    std::string queryText_; // at most 1024 characters; empty: no query
    bool queryAvailable_ = true;
    QList<QAction*> queryActions_;
    QList<QAction*> resetActions_;
    QPushButton* queryButton_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    bool reloading_ = false;
    bool reloadAgain_ = false;
};

} // namespace tessaly::gui

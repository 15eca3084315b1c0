#pragma once

#include "bookmarks/bookmark_list_model.h"
#include "bookmarks/list_rows.h"
#include "bookmarks/list_variant.h"
#include "platform/browser_addresses.h"

#include <QElapsedTimer>
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

    // Today as a day number; replaceable for tests.
    using Today = std::function<std::int32_t()>;

    BrowseWindow(Services& services, Opener& opener, ListVariant variant = bookmarkListVariant(),
                 QWidget* parent = nullptr);
    ~BrowseWindow() override;

    void setToday(Today today) { today_ = std::move(today); }

    // Reads the rows again and rebuilds the title.
    void reload();

    QTableView* table() const { return table_; }
    QTabBar* tabs() const { return tabs_; }
    QComboBox* actionChoice() const { return actionChoice_; }
    BookmarkListModel* model() const { return model_.get(); }
    bool paging() const { return rows_->paging(); }

    void copyAction();
    void launchAction();
    // "&New", "&Edit", "&Delete": the bookmark form (delete asks and deletes
    // without showing it).
    void newBookmark();
    void editBookmark();
    void deleteBookmark();
    // "&Test": the link test of the highlighted bookmark, its result stored;
    // a cancelled test closes the list.
    void testBookmark();
    // "&Print": the designed report, then the list read again.
    void printList();
    // "&Download": the pages of the rows the list shows (of the highlighted
    // one when it shows them all) into a folder the user picks.
    void downloadBookmarks();
    using FolderChooser = std::function<std::optional<std::string>()>;
    void setDownloadFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }
    void closeList();
    // Shows another category's bookmarks (the explorer view's right list).
    void setCategory(const std::string& category);
    // "Get current URL from browser": the new-bookmark wizard, then a reload.
    void getUrlFromBrowser();
    void setCandidateSource(std::function<std::vector<BrowserCandidate>()> source)
    {
        candidateSource_ = std::move(source);
    }
    // "&Query": the Query Wizard on the list's query; "&Reset" drops it.
    void query();
    void resetQuery();
    // Filters the list by `filter` as if the Query Wizard had built it.
    void applyQuery(const std::string& filter);
    const std::string& queryText() const { return queryText_; }
    // Moves the highlight to the first row at or after `typed`.
    void locate(const QString& typed);
    // Adds the .url shortcut files among `paths` as bookmarks.
    void dropShortcuts(const QStringList& paths);

    // The column layout as a format text (order, widths, hidden columns).
    QString formatText() const;
    void applyFormat(const QString& format);
    QString builtInFormat() const;
    const ListVariant& variant() const { return variant_; }
    // The headings' choices: sorting, styles, graphs, printing and export.
    HeaderPreferences* headerPreferences() const { return headerPreferences_; }

Q_SIGNALS:
    // A double-click launch: the frame should get out of the browser's way.
    void minimiseFrameRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QPushButton* testButton_ = nullptr;
    QLabel* emptyHint_ = nullptr;
    QString title() const;
    bool acceptsDrop(const QDropEvent* event) const;
    void buildControls();
    void buildContextMenu();
    void changeOrder(int tab);
    void doubleClicked(const QModelIndex& index);
    int currentRow() const;
    void updateQueryControls();
    void restoreLayout();
    void saveLayout();

    int keyForColumn(int logical) const;
    bool columnSortable(int logical) const;
    bool sortByColumn(int logical, Qt::SortOrder order);
    void printShownList();
    void showKeyOrder();

    const Record& bookmarkOf(const Record& row);
    std::shared_ptr<const Expression> rowFilter(const std::string& query) const;
    std::string filterText(const std::string& query) const;

    Services& services_;
    Opener& opener_;
    ListVariant variant_;
    FileManager& own_;
    std::map<std::string, Record> bookmarks_; // the keyword and detail rows' bookmarks
    std::unique_ptr<ListRows> rows_;
    std::unique_ptr<BookmarkListModel> model_;
    QTableView* table_ = nullptr;
    HeaderPreferences* headerPreferences_ = nullptr;
    QTabBar* tabs_ = nullptr;
    QComboBox* actionChoice_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    std::string queryText_; // at most 1024 characters; empty: no query
    bool queryAvailable_ = true;
    QList<QAction*> queryActions_;
    QList<QAction*> resetActions_;
    QPushButton* queryButton_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    Today today_;
    FolderChooser chooseFolder_;
    std::function<std::vector<BrowserCandidate>()> candidateSource_;
    QString typed_;
    QElapsedTimer typing_;
};

} // namespace tessaly::gui

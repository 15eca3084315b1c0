#include "bookmarks/browse_window.h"

#include "bookmarks/background_launch.h"
#include "bookmarks/bookmark_form.h"
#include "bookmarks/bookmark_form_window.h"
#include "bookmarks/dropped_shortcut.h"
#include "bookmarks/explorer_window.h"
#include "bookmarks/field_sort.h"
#include "bookmarks/list_actions.h"
#include "bookmarks/list_layout.h"
#include "bookmarks/new_bookmark_wizard.h"
#include "columns/first_fit.h"
#include "columns/header_preferences.h"
#include "columns/list_export.h"
#include "core/services.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/dialog_units.h"
#include "framework/expression.h"
#include "framework/icons.h"
#include "framework/picture.h"
#include "framework/query_fields.h"
#include "framework/query_wizard.h"
#include "framework/text.h"
#include "framework/window_register.h"
#include "links/download_account_message.h"
#include "links/download_batch.h"
#include "links/download_window.h"
#include "links/test_link_window.h"
#include "reports/report_printing.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTabBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace tessaly::gui {

namespace {

constexpr int kLocatorPauseMs = 1200;

std::int32_t systemToday()
{
    const QDate d = QDate::currentDate();
    return dates::dayNumber(d.year(), d.month(), d.day());
}

QPushButton* button(QWidget* parent, const char* text, const char* tip, bool enabled)
{
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setToolTip(QString::fromUtf8(tip));
    b->setEnabled(enabled);
    return b;
}

FileManager& sourceOf(Services& services, ListVariant::Source source)
{
    switch (source) {
    case ListVariant::Source::Keywords:
        return services.database().keywords();
    case ListVariant::Source::Details:
        return services.database().details();
    case ListVariant::Source::Bookmarks:
        break;
    }
    return services.database().bookmarks();
}

std::string quotedText(std::string_view value)
{
    std::string out = "'";
    for (const char c : value) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out + "'";
}

} // namespace

BrowseWindow::BrowseWindow(Services& services, Opener& opener, ListVariant variant, QWidget* parent)
    : QWidget(parent), services_(services), opener_(opener), variant_(std::move(variant)),
      own_(sourceOf(services, variant_.source)), today_(systemToday),
      chooseFolder_([this]() -> std::optional<std::string> {
          const QString chosen = QFileDialog::getExistingDirectory(
              this, QStringLiteral("Save to folder..."),
              // Not the current folder: that is the program's data folder.
              QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
          if (chosen.isEmpty()) {
              return std::nullopt;
          }
          return chosen.toStdString();
      })
{
    setObjectName(variant_.name);
    setWindowIcon(themedIcon({}, QStringLiteral("list")));
    setAcceptDrops(variant_.fullControls);
    own_.use();
    services_.database().bookmarks().use();
    rows_ = std::make_unique<ListRows>(own_.file());
    rows_->setOrder(variant_.tabsOrder && !variant_.tabs.empty() ? variant_.tabs.front().second
                                                                 : variant_.fixedKey);
    // The category list is all of one category: its locator is on the
    // description, the key's second field.
    rows_->setLocatorComponent(variant_.category.empty() && !variant_.categoryRequired ? 0 : 1);
    rows_->setFilter(rowFilter({}));
    model_ = std::make_unique<BookmarkListModel>(
        *rows_, variant_.columns,
        [this](const Record& row) -> const Record& { return bookmarkOf(row); });
    buildControls();
    if (parent == nullptr) {
        // Its design size, or what the font needs; inside the explorer
        // view the view decides.
        setMinimumSize(fromDialogUnits(this, 416, 200).expandedTo(layout()->minimumSize()));
    }
    buildContextMenu();
    restoreLayout();
    if (variant_.fullControls) {
        if (const int error = QueryWizardCheck::initialise(variant_.queryFieldList); error != 0) {
            services_.messages().ui().showMessage(
                {"Query Wizard Error",
                 "An error has prevented the Query Wizard from initializing." +
                     std::to_string(error),
                 MessageIcon::Exclamation, ButtonOk, ButtonOk});
            queryAvailable_ = false;
        }
    } else {
        queryAvailable_ = false;
    }
    updateQueryControls();
    reload();
    HeaderPreferences::Hooks hooks;
    hooks.sortable = [this](int logical) {
        return columnSortable(logical);
    };
    hooks.sort = [this](int logical, Qt::SortOrder order) {
        return sortByColumn(logical, order);
    };
    hooks.resetColumns = [this] {
        // The built-in columns, in the order of the tab shown (or the
        // list's own).
        applyFormat(builtInFormat());
        rows_->setFieldSort(std::nullopt, false);
        const int tab = std::max(0, tabs_->currentIndex());
        rows_->setOrder(variant_.tabsOrder && !variant_.tabs.empty()
                            ? variant_.tabs[static_cast<std::size_t>(tab)].second
                            : variant_.fixedKey);
        reload();
        showKeyOrder();
    };
    if (variant_.source == ListVariant::Source::Bookmarks) {
        hooks.print = [this] {
            printShownList();
        };
    }
    // The explorer view keeps its two lists in one section, apart by name.
    const bool inExplorer = variant_.name == QString::fromUtf8(ExplorerWindow::kName);
    headerPreferences_ = new HeaderPreferences(
        *table_, services_.positions(), variant_.name.toStdString(), services_.messages().ui(),
        std::move(hooks), inExplorer ? "Browse:" : "");
    headerPreferences_->restore();
    if (!headerPreferences_->sorted()) {
        showKeyOrder();
    }
    WindowRegister::instance().add(objectName(), this, [this] { reload(); });
}

// The key of the list's file that orders rows by the column's field, or -1.
// Fields of the bookmark a keyword or detail row belongs to have none in
// the row's own file.
int BrowseWindow::keyForColumn(int logical) const
{
    const ListColumn& column = variant_.columns.at(static_cast<std::size_t>(logical));
    const bool ownField = !column.ofBookmark || variant_.source == ListVariant::Source::Bookmarks;
    return ownField && !column.icon ? keyServingField(own_.table(), column.field) : -1;
}

// A key sorts any list and keeps a long one paged; other columns sort a
// list loaded whole (300 rows or fewer), in memory.
bool BrowseWindow::columnSortable(int logical) const
{
    return logical >= 0 && static_cast<std::size_t>(logical) < variant_.columns.size() &&
           (keyForColumn(logical) >= 0 || rows_->canSortByField());
}

bool BrowseWindow::sortByColumn(int logical, Qt::SortOrder order)
{
    if (!columnSortable(logical)) {
        return false;
    }
    const ListColumn& column = variant_.columns[static_cast<std::size_t>(logical)];
    const bool descending = order == Qt::DescendingOrder;
    if (const int key = keyForColumn(logical); key >= 0) {
        rows_->setFieldSort(std::nullopt, descending);
        rows_->setOrder(key);
        // The tab of that order, if the list has one, shows it.
        for (std::size_t tab = 0; variant_.tabsOrder && tab < variant_.tabs.size(); ++tab) {
            if (variant_.tabs[tab].second == key) {
                const QSignalBlocker quiet(tabs_);
                tabs_->setCurrentIndex(static_cast<int>(tab));
            }
        }
    } else {
        ListRows::RecordOf recordOf;
        if (column.ofBookmark && variant_.source != ListVariant::Source::Bookmarks) {
            recordOf = [this](const Record& row) -> const Record& {
                return bookmarkOf(row);
            };
        }
        rows_->setFieldSort(column.field, descending, std::move(recordOf));
    }
    reload();
    return true;
}

// "Print List...": the list as it stands (its shown columns in their order
// and with their headings, its filter and order) through the reports' pages,
// preview and printer.
void BrowseWindow::printShownList()
{
    ReportDefinition report;
    report.title = windowTitle().toStdString();
    report.table = &own_.table();
    report.key = rows_->order();
    // The columns' headings as the screen shows them; the report's columns
    // read them while it runs.
    std::vector<std::string> headings;
    const std::vector<int> shown = shownColumns(*table_->horizontalHeader());
    headings.reserve(shown.size());
    int width = 0;
    for (const int logical : shown) {
        const ListColumn& column = variant_.columns[static_cast<std::size_t>(logical)];
        for (const ReportColumn& offered : designColumns()) {
            if (offered.field == column.field) {
                // Wrapped, never cut: the printed list shows what the
                // screen shows, however many columns share the page.
                headings.push_back(column.heading.toStdString());
                report.columns.push_back(offered);
                report.columns.back().header = headings.back();
                report.columns.back().overflow = Overflow::Wrap;
                report.columns.back().width =
                    std::max(offered.width, static_cast<int>(column.heading.size()));
                width += report.columns.back().width;
            }
        }
    }
    if (report.columns.empty()) {
        return;
    }
    report.landscape = width > 100;
    if (variant_.source == ListVariant::Source::Bookmarks) {
        // The rows as the screen has them: its order (blanks where the
        // screen puts them, ties as they stand) and its filter.
        printReport(services_.database(), services_.messages().ui(), report, reportPrinter(), this,
                    filterText(queryText_), rows_->positions());
        return;
    }
    // An order the key alone does not give is spelt out as a sort.
    const auto term = [&](int field, bool descending) {
        const FieldDef& def = own_.table().schema->fields()[static_cast<std::size_t>(field)];
        const std::string label{def.label};
        return (descending ? "-" : "") + (def.isText() ? "UPPER(" + label + ")" : label);
    };
    if (const std::optional<int> field = rows_->sortField()) {
        report.sortExpression = term(*field, rows_->descending());
    } else if (rows_->descending()) {
        const KeyDef& key = own_.table().keys[static_cast<std::size_t>(rows_->order())];
        for (const KeyComponent& component : key.components) {
            report.sortExpression += (report.sortExpression.empty() ? "" : ",") +
                                     term(component.field, !component.descending);
        }
    }
    printReport(services_.database(), services_.messages().ui(), report, reportPrinter(), this,
                filterText(queryText_));
}

const Record& BrowseWindow::bookmarkOf(const Record& row)
{
    if (variant_.source == ListVariant::Source::Bookmarks) {
        return row;
    }
    const std::string& location = row.text(0); // UDK:Location, UDT:Location
    auto found = bookmarks_.find(location);
    if (found == bookmarks_.end()) {
        Record bookmark{bookmarkTable()};
        bookmark.setText(BookmarkField::Location, location);
        if (services_.database().bookmarks().tryFetch(static_cast<int>(BookmarkKey::Location),
                                                      bookmark) != kLevelDone) {
            bookmark.clear(); // a row whose bookmark is gone shows its own fields only
        }
        found = bookmarks_.emplace(location, std::move(bookmark)).first;
    }
    return found->second;
}

std::shared_ptr<const Expression> BrowseWindow::rowFilter(const std::string& query) const
{
    const std::string filter = filterText(query);
    if (filter.empty()) {
        return nullptr;
    }
    const SchemaResolver resolver{*own_.table().schema};
    return std::make_shared<const Expression>(Expression::compile(filter, resolver));
}

std::string BrowseWindow::filterText(const std::string& query) const
{
    std::string filter = query;
    if (!variant_.category.empty()) {
        // The category as stored, letter case included (the key's own rule).
        const std::string own = "URL:Category = " + quotedText(variant_.category);
        filter = query.empty() ? own : own + " AND (" + query + ")";
    } else if (variant_.categoryRequired) {
        filter = "1 = 0"; // no category highlighted: no rows
    }
    return filter;
}

BrowseWindow::~BrowseWindow()
{
    if (services_.started()) {
        saveLayout(); // also when the program ends with the list still open
    }
    table_->setModel(nullptr);
    if (!services_.started()) {
        return; // the files went with the services' shutdown
    }
    services_.database().bookmarks().close();
    own_.close();
}

void BrowseWindow::buildControls()
{
    auto* layout = new QVBoxLayout(this);
    auto* tools = new QToolBar(this);
    tools->setObjectName(QStringLiteral("ListToolBar"));
    tools->setVisible(variant_.fullControls);
    // The download and the browser's address come with their own windows;
    // until then their buttons wait, disabled.
    // One icon per command: the theme's where it has the meaning, else ours.
    const struct {
        const char* tip;
        const char* theme;
        const char* icon;
        bool enabled;
        void (BrowseWindow::*slot)();
    } toolButtons[] = {
        {"Query the database (show selected records)", "edit-find", "query", true,
         &BrowseWindow::query},
        {"Reset the query (show all records)", "edit-clear", "restore", true,
         &BrowseWindow::resetQuery},
        {"Copy highlighted URL to the clipboard", "edit-copy", "copy", true,
         &BrowseWindow::copyAction},
        {"Launch using the default program", "", "launch", true, &BrowseWindow::launchAction},
        {"Download URL(s) to a local folder", "", "download", true,
         &BrowseWindow::downloadBookmarks},
        {"Get current URL from an open browser window", "", "add_url", true,
         &BrowseWindow::getUrlFromBrowser},
    };
    for (const auto& t : toolButtons) {
        QAction* a = tools->addAction(
            themedIcon(QString::fromUtf8(t.theme), QString::fromUtf8(t.icon)), QString{});
        a->setToolTip(QString::fromUtf8(t.tip));
        a->setEnabled(t.enabled);
        if (t.slot != nullptr) {
            connect(a, &QAction::triggered, this, t.slot);
        }
        if (t.slot == &BrowseWindow::query) {
            queryActions_ << a;
        } else if (t.slot == &BrowseWindow::resetQuery) {
            resetActions_ << a;
        }
    }
    layout->addWidget(tools);
    auto* headingsTip =
        new QLabel(QStringLiteral("Click on the column headings to change the order of displayed "
                                  "records.  Right-click for more options."),
                   this);
    headingsTip->setWordWrap(true); // whole in a narrow window too (the explorer's right list)
    layout->addWidget(headingsTip);
    tabs_ = new QTabBar(this);
    for (const auto& [text, key] : variant_.tabs) {
        tabs_->addTab(text);
    }
    tabs_->setVisible(!variant_.tabs.empty());
    connect(tabs_, &QTabBar::currentChanged, this, &BrowseWindow::changeOrder);
    layout->addWidget(tabs_);

    emptyHint_ = new QLabel(
        QStringLiteral("No bookmarks yet: New adds one; File > Import brings them from a browser."),
        this);
    emptyHint_->setObjectName(QStringLiteral("EmptyHint"));
    emptyHint_->setVisible(false);
    layout->addWidget(emptyHint_);

    table_ = new QTableView(this);
    table_->setModel(model_.get());
    // Tab leaves the list for the next control; arrows move inside it.
    table_->setTabKeyNavigation(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setDragEnabled(true);
    table_->setDragDropMode(QAbstractItemView::DragDrop);
    table_->setAcceptDrops(true);
    table_->viewport()->setAcceptDrops(true);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false); // addresses break at every "/" otherwise
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setSectionsMovable(true);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    table_->installEventFilter(this);
    table_->viewport()->installEventFilter(this);
    connect(table_, &QTableView::doubleClicked, this, &BrowseWindow::doubleClicked);
    connect(table_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { contextMenu_->popup(table_->viewport()->mapToGlobal(at)); });
    layout->addWidget(table_, 1);

    auto* actions = new QGroupBox(QStringLiteral("Actions"), this);
    auto* actionsLayout = new QHBoxLayout(actions);
    actionChoice_ = new QComboBox(actions);
    for (const std::string_view choice : kActionChoices) {
        actionChoice_->addItem(
            QString::fromUtf8(choice.data(), static_cast<qsizetype>(choice.size())));
    }
    actionChoice_->setToolTip(
        QStringLiteral("Select information to\ncopy to the clipboard\nor launch"));
    auto* copy = button(actions, "Copy to clipboard (action)",
                        "Copy to the clipboard.  Use the clipboard monitor to quickly copy *FROM* "
                        "the clipboard.",
                        true);
    auto* launchButton = button(actions, "Launch URL", "Launch using the default program", true);
    connect(copy, &QPushButton::clicked, this, &BrowseWindow::copyAction);
    connect(launchButton, &QPushButton::clicked, this, &BrowseWindow::launchAction);
    actionsLayout->addWidget(actionChoice_);
    actionsLayout->addWidget(copy);
    actionsLayout->addWidget(launchButton);
    layout->addWidget(actions);
    actions->setVisible(variant_.fullControls);
    if (variant_.locateBox) {
        auto* locateGroup = new QGroupBox(QStringLiteral("&Locate Description"), this);
        auto* locateLayout = new QHBoxLayout(locateGroup);
        auto* locateEdit = new QLineEdit(locateGroup);
        locateEdit->setObjectName(QStringLiteral("LocateDescription"));
        locateEdit->setMaxLength(255);
        locateEdit->setToolTip(QStringLiteral("Description of site"));
        locateLayout->addWidget(locateEdit);
        connect(locateEdit, &QLineEdit::returnPressed, this,
                [this, locateEdit] { locate(locateEdit->text()); });
        layout->addWidget(locateGroup);
    }

    auto* buttons = new QHBoxLayout;
    queryButton_ = button(this, "&Query", "View selected records", true);
    resetButton_ = button(this, "&Reset", "View all records", false);
    queryButton_->setObjectName(QStringLiteral("Query"));
    resetButton_->setObjectName(QStringLiteral("Reset"));
    connect(queryButton_, &QPushButton::clicked, this, &BrowseWindow::query);
    connect(resetButton_, &QPushButton::clicked, this, &BrowseWindow::resetQuery);
    buttons->addWidget(queryButton_);
    buttons->addWidget(resetButton_);
    queryButton_->setVisible(variant_.fullControls);
    resetButton_->setVisible(variant_.fullControls);
    // The form's buttons, and "&Print", the designed report.
    const struct {
        const char* text;
        const char* tip;
    } waiting[] = {
        {"&New", "Add location information"},
        {"&Edit", "Change location information"},
        {"&Delete", "Remove location information"},
        {"&Print", "Print location information"},
    };
    for (const auto& w : waiting) {
        auto* b = button(this, w.text, w.tip, false);
        b->setObjectName(QString::fromUtf8(w.text).remove(QLatin1Char('&')));
        const bool formButton = b->objectName() == QStringLiteral("New") ||
                                b->objectName() == QStringLiteral("Edit") ||
                                b->objectName() == QStringLiteral("Delete");
        b->setVisible(formButton || variant_.fullControls);
        if (b->objectName() == QStringLiteral("Print")) {
            b->setEnabled(true);
            connect(b, &QPushButton::clicked, this, &BrowseWindow::printList);
        }
        if (formButton) {
            b->setEnabled(true);
            void (BrowseWindow::*slot)() =
                b->objectName() == QStringLiteral("New")    ? &BrowseWindow::newBookmark
                : b->objectName() == QStringLiteral("Edit") ? &BrowseWindow::editBookmark
                                                            : &BrowseWindow::deleteBookmark;
            connect(b, &QPushButton::clicked, this, slot);
        }
        buttons->addWidget(b);
    }
    testButton_ = button(this, "&Test", "Test currently highlighted URL", true);
    testButton_->setObjectName(QStringLiteral("Test"));
    testButton_->setVisible(variant_.fullControls);
    connect(testButton_, &QPushButton::clicked, this, &BrowseWindow::testBookmark);
    buttons->insertWidget(buttons->count() - 1, testButton_);
    auto* close = button(this, "Cl&ose", "Close this window", true);
    connect(close, &QPushButton::clicked, this, &BrowseWindow::closeList);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
}

void BrowseWindow::buildContextMenu()
{
    contextMenu_ = new QMenu(this);
    connect(contextMenu_->addAction(QStringLiteral("&Insert")), &QAction::triggered, this,
            &BrowseWindow::newBookmark);
    connect(contextMenu_->addAction(QStringLiteral("&Change")), &QAction::triggered, this,
            &BrowseWindow::editBookmark);
    connect(contextMenu_->addAction(QStringLiteral("&Delete")), &QAction::triggered, this,
            &BrowseWindow::deleteBookmark);
    // The list's own items are hidden together with their buttons: the
    // one-category list has none of them.
    const bool own = variant_.fullControls;
    contextMenu_->addSeparator()->setVisible(own);
    QAction* queryItem = contextMenu_->addAction(QStringLiteral("&Query"));
    QAction* resetItem = contextMenu_->addAction(QStringLiteral("&Reset"));
    connect(queryItem, &QAction::triggered, this, &BrowseWindow::query);
    connect(resetItem, &QAction::triggered, this, &BrowseWindow::resetQuery);
    queryActions_ << queryItem;
    resetActions_ << resetItem;
    contextMenu_->addSeparator();
    connect(contextMenu_->addAction(QStringLiteral("Copy to clipboard (action)")),
            &QAction::triggered, this, &BrowseWindow::copyAction);
    connect(contextMenu_->addAction(QStringLiteral("Launch URL")), &QAction::triggered, this,
            &BrowseWindow::launchAction);
    connect(contextMenu_->addAction(QStringLiteral("Get current URL from browser")),
            &QAction::triggered, this, &BrowseWindow::getUrlFromBrowser);
    contextMenu_->addSeparator();
    QAction* testItem = contextMenu_->addAction(QStringLiteral("&Test"));
    connect(testItem, &QAction::triggered, this, &BrowseWindow::testBookmark);
    connect(contextMenu_->addAction(QStringLiteral("&Download")), &QAction::triggered, this,
            &BrowseWindow::downloadBookmarks);
    contextMenu_->addSeparator();
    connect(contextMenu_->addAction(QStringLiteral("&Print")), &QAction::triggered, this,
            &BrowseWindow::printList);
    const QList<QAction*> items = contextMenu_->actions();
    for (qsizetype i = 3; i < items.size(); ++i) {
        items[i]->setVisible(own);
    }
}

void BrowseWindow::printList()
{
    printDesignedReport(services_.database(), services_.messages().ui(), reportPrinter(), this);
    reload();
}

void BrowseWindow::reload()
{
    const int row = currentRow();
    if (const EngineStatus status = model_->reload(); !status.ok()) {
        // A damaged file lists only what could be read, and says so.
        own_.reportReadError(status);
    }
    bookmarks_.clear();
    setWindowTitle(title());
    // Only a bookmark file with nothing in it gets the hint, not a query
    // that found nothing.
    emptyHint_->setVisible(variant_.source == ListVariant::Source::Bookmarks &&
                           rows_->fileCount() == 0);
    if (model_->rowCount() > 0) {
        table_->selectRow(std::clamp(row, 0, model_->rowCount() - 1));
    }
}

QString BrowseWindow::title() const
{
    QString title = variant_.title;
    if (!variant_.category.empty() && !variant_.categoryRequired) {
        title += QStringLiteral(": ") + QString::fromStdString(variant_.category);
    }
    if (!variant_.titleWithCount) {
        return title;
    }
    // With a query or a category in force, the rows shown and the whole file.
    const QString all = QString::number(rows_->fileCount());
    const bool filtered = !queryText_.empty() || !variant_.category.empty();
    return title + QStringLiteral(" (") +
           (filtered ? QString::number(rows_->size()) + QStringLiteral(" of ") + all : all) +
           QLatin1Char(')');
}

// The heading of the key the rows are in shows its arrow (none when no
// column shows the key's first field).
void BrowseWindow::showKeyOrder()
{
    std::optional<std::pair<int, Qt::SortOrder>> shown;
    for (std::size_t logical = 0; logical < variant_.columns.size(); ++logical) {
        if (!shown && keyForColumn(static_cast<int>(logical)) == rows_->order()) {
            shown = std::pair{static_cast<int>(logical),
                              rows_->descending() ? Qt::DescendingOrder : Qt::AscendingOrder};
        }
    }
    if (headerPreferences_ != nullptr) {
        headerPreferences_->showSorted(shown);
    }
}

void BrowseWindow::changeOrder(int tab)
{
    if (tab < 0 || static_cast<std::size_t>(tab) >= variant_.tabs.size()) {
        return;
    }
    if (variant_.tabsOrder) {
        const int key = variant_.tabs[static_cast<std::size_t>(tab)].second;
        rows_->setOrder(key);
        rows_->setFieldSort(std::nullopt, false);
        reload();
        table_->selectRow(0);
        showKeyOrder();
    }
    table_->setFocus();
}

int BrowseWindow::currentRow() const
{
    const QModelIndexList selected = table_->selectionModel() != nullptr
                                         ? table_->selectionModel()->selectedRows()
                                         : QModelIndexList{};
    return selected.isEmpty()
               ? (table_->currentIndex().isValid() ? table_->currentIndex().row() : -1)
               : selected.front().row();
}

void BrowseWindow::updateQueryControls()
{
    // "&Reset" is enabled exactly while a finished query is in force.
    queryButton_->setEnabled(queryAvailable_);
    resetButton_->setEnabled(queryAvailable_ && !queryText_.empty());
    for (QAction* a : queryActions_) {
        a->setEnabled(queryButton_->isEnabled());
    }
    for (QAction* a : resetActions_) {
        a->setEnabled(resetButton_->isEnabled());
    }
}

void BrowseWindow::query()
{
    if (!queryAvailable_) {
        return;
    }
    std::string filter = queryText_;
    UiPort& ui = services_.messages().ui();
    if (!ui.runQuery({variant_.queryFieldList, variant_.queryTag}, filter)) {
        return;
    }
    applyQuery(filter);
}

void BrowseWindow::applyQuery(const std::string& filter)
{
    const SchemaResolver resolver{*own_.table().schema};
    auto expression = std::make_shared<const Expression>(Expression::compile(filter, resolver));
    if (!expression->ok()) {
        MessageManager::setError(kInvalidExpressionError, expression->error().describe());
        services_.messages().raise(40); // "View Open Error": the list stays unfiltered
        return;
    }
    queryText_ = std::string{text::fit(filter, 1024)};
    rows_->setFilter(rowFilter(queryText_));
    updateQueryControls();
    reload();
}

void BrowseWindow::resetQuery()
{
    queryText_.clear();
    rows_->setFilter(rowFilter({}));
    updateQueryControls();
    reload();
}

void BrowseWindow::setCategory(const std::string& category)
{
    variant_.category = category;
    rows_->setFilter(rowFilter(queryText_));
    reload();
}

void BrowseWindow::getUrlFromBrowser()
{
    // The pending address stays as it is; the list reloads afterwards.
    NewBookmarkWizard wizard(services_, candidateSource_, this);
    wizard.exec();
    reload();
}

void BrowseWindow::newBookmark()
{
    Record bookmark{bookmarkTable()};
    bookmark.setText(BookmarkField::Category, variant_.category); // the category list's own
    BookmarkFormWindow form(services_, bookmark, this);
    form.exec();
}

void BrowseWindow::editBookmark()
{
    const int row = currentRow();
    if (row < 0) {
        return;
    }
    BookmarkFormWindow form(services_, model_->bookmark(row), this);
    form.exec();
}

void BrowseWindow::deleteBookmark()
{
    const int row = currentRow();
    if (row < 0) {
        return;
    }
    const Record bookmark = model_->bookmark(row);
    if (tessaly::deleteBookmark(services_.database(), bookmark) == kLevelDone) {
        WindowRegister::instance().notifyBrowseWindows();
    }
}

void BrowseWindow::testBookmark()
{
    const int row = currentRow();
    if (row < 0) {
        return;
    }
    Record bookmark = model_->bookmark(row);
    FileManager& bookmarks = services_.database().bookmarks();
    bookmarks.use();
    const int level = bookmarks.fetch(static_cast<int>(BookmarkKey::Location), bookmark);
    bookmarks.close();
    if (level != kLevelDone) {
        return;
    }
    // Cancel ends the test only: the list stays as it was, highlight and
    // all, since the user may well test the next one.
    const int result = testBookmarkLink(bookmark, services_.database(), today_(), this);
    if (result != kLinkCancelled && result != kLinkUnknown) {
        WindowRegister::instance().notifyBrowseWindows();
    }
}

void BrowseWindow::downloadBookmarks()
{
    const int row = currentRow();
    // The rows a bookmark list shows are those its filter selects; a
    // keyword or detail list's query is over rows of its own. With no query
    // in force the highlighted bookmark alone is meant, also in a list held
    // to one category.
    std::string filter =
        variant_.source == ListVariant::Source::Bookmarks ? filterText(queryText_) : std::string{};
    if ((queryText_.empty() || variant_.source != ListVariant::Source::Bookmarks) && row >= 0) {
        const std::string location = model_->bookmark(row).text(BookmarkField::Location);
        if (!text::clip(location).empty()) {
            filter = currentBookmarkFilter(location);
        }
    }
    DownloadBatch batch{services_.database(), services_.messages().ui(), today_(),
                        services_.folderPath("DOWNLOAD.LOG")};
    batch.setRunner([this](PageDownload& download) { downloadInWindow(download, this); });
    batch.setBounds(downloadBounds(services_.settings()));
    DownloadTally tally;
    batch.setObserver([&tally](const DownloadItem& item) { tally.add(item); });
    const DownloadSummary summary = batch.run(filter, chooseFolder_);
    endDownloadRun(services_.messages().ui(), summary, tally, today_());
}

void BrowseWindow::closeList()
{
    // The list's own window: its sub-window in the frame, or the top-level
    // window it stands in (the explorer view holds it in a splitter).
    for (QWidget* w = this; w != nullptr; w = w->parentWidget()) {
        if (qobject_cast<QMdiSubWindow*>(w) != nullptr || w->isWindow()) {
            w->close();
            return;
        }
    }
}

void BrowseWindow::copyAction()
{
    const int row = currentRow();
    const Record empty{bookmarkTable()};
    const Record& bookmark = row >= 0 ? model_->bookmark(row) : empty;
    const std::string text = actionText(actionChoice_->currentText().toStdString(), bookmark);
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void BrowseWindow::launchAction()
{
    const int row = currentRow();
    if (row < 0) {
        return;
    }
    const Record bookmark = model_->bookmark(row);
    tessaly::launchAction(
        actionChoice_->currentText().toStdString(), bookmark, services_.database().bookmarks(),
        today_(),
        [this](const std::string& target) {
            launchInBackground(target, opener_, services_.messages().ui(), this);
        },
        services_.messages().ui());
}

void BrowseWindow::doubleClicked(const QModelIndex& index)
{
    if (!index.isValid()) {
        return;
    }
    if (services_.settings().doubleClickAction != "Start URL") {
        editBookmark();
        return;
    }
    const Record bookmark = model_->bookmark(index.row());
    const std::string location = actionText("URL", bookmark);
    // The frame gets out of the browser's way only when a browser came; a
    // failure leaves it as it was, with the message in front.
    launchInBackground(location, opener_, services_.messages().ui(), this, [this](bool started) {
        if (started) {
            Q_EMIT minimiseFrameRequested();
        }
    });
    recordVisit(services_.database().bookmarks(), location, today_());
}

void BrowseWindow::locate(const QString& typed)
{
    const auto row = rows_->locate(typed.toStdString());
    if (row) {
        table_->selectRow(static_cast<int>(*row));
        table_->scrollTo(model_->index(static_cast<int>(*row), 0));
    }
}

bool BrowseWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The view's own drop handling would take the shortcut files and throw
    // them away: drops anywhere on the rows come here.
    if (watched == table_->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
            dragEnterEvent(static_cast<QDragEnterEvent*>(event));
            return event->isAccepted() || QWidget::eventFilter(watched, event);
        case QEvent::DragMove:
            if (acceptsDrop(static_cast<QDropEvent*>(event))) {
                static_cast<QDropEvent*>(event)->acceptProposedAction();
                return true;
            }
            break;
        case QEvent::Drop:
            if (acceptsDrop(static_cast<QDropEvent*>(event))) {
                dropEvent(static_cast<QDropEvent*>(event));
                return true;
            }
            break;
        default:
            break;
        }
    }
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Insert = "&New", Ctrl+Enter = "&Edit", Delete = "&Delete".
        if (key->key() == Qt::Key_Insert && key->modifiers() == Qt::NoModifier) {
            newBookmark();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & Qt::ControlModifier) != 0) {
            editBookmark();
            return true;
        }
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            deleteBookmark();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier) {
            doubleClicked(table_->currentIndex()); // Enter does what a double-click does
            return true;
        }
        if (key->key() == Qt::Key_Backspace && !typed_.isEmpty()) {
            typed_.chop(1);
            typing_.restart();
            if (!typed_.isEmpty()) {
                locate(typed_);
            }
            return true;
        }
        const QString text = key->text();
        // Shift only makes a capital: "Bro" is one search, not "B" and "ro".
        const auto typing = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
        if (!text.isEmpty() && text.at(0).isPrint() && typing == Qt::NoModifier) {
            // Typing moves to the first row whose locator begins with it.
            if (!typing_.isValid() || typing_.elapsed() > kLocatorPauseMs) {
                typed_.clear();
            }
            typed_ += text;
            typing_.restart();
            locate(typed_);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool BrowseWindow::acceptsDrop(const QDropEvent* event) const
{
    // Files from elsewhere; a row dragged inside the list is no shortcut.
    return variant_.fullControls && event->mimeData()->hasUrls() && event->source() != table_;
}

void BrowseWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (acceptsDrop(event)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void BrowseWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    dropShortcuts(paths);
    event->acceptProposedAction();
}

void BrowseWindow::dropShortcuts(const QStringList& paths)
{
    const RegistryAccessor& registry = services_.registry();
    const std::string favorites =
        registry.mapPath(registry.read(kShellFolders, "Favorites", kDefaultFavorites));
    for (const QString& path : paths) {
        const DroppedShortcut shortcut = readDroppedShortcut(path.toStdString(), favorites);
        addDroppedShortcut(shortcut, services_.database());
    }
}

QString BrowseWindow::builtInFormat() const
{
    // Our own format: a version word, then each column in shown order as
    // logical:width and a trailing "h" when hidden.
    QString format = QStringLiteral("T1");
    for (std::size_t column = 0; column < variant_.columns.size(); ++column) {
        const ListColumn& c = variant_.columns[column];
        // A width after the picture's: long texts wide, numbers narrow.
        const Picture picture = Picture::parse(c.picture);
        int width = 110;
        if (c.icon) {
            width = 26;
        } else if (picture.kind == Picture::Kind::Number) {
            width = 56;
        } else if (picture.kind == Picture::Kind::Date) {
            width = 96;
        } else if (picture.width >= 90) {
            width = 240;
        }
        format +=
            QLatin1Char(';') + QString::number(column) + QLatin1Char(':') + QString::number(width);
    }
    return format;
}

QString BrowseWindow::formatText() const
{
    const QHeaderView* header = table_->horizontalHeader();
    QString format = QStringLiteral("T1");
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        format += QLatin1Char(';') + QString::number(logical) + QLatin1Char(':') +
                  QString::number(header->sectionSize(logical)) +
                  (header->isSectionHidden(logical) ? QStringLiteral("h") : QString{});
    }
    return format.left(512);
}

void BrowseWindow::applyFormat(const QString& format)
{
    const QStringList parts = format.split(QLatin1Char(';'));
    if (parts.isEmpty() || parts.front() != QStringLiteral("T1")) {
        return; // a format this program does not know is left alone
    }
    QHeaderView* header = table_->horizontalHeader();
    for (int i = 1; i < parts.size(); ++i) {
        QString part = parts[i];
        const bool hidden = part.endsWith(QLatin1Char('h'));
        if (hidden) {
            part.chop(1);
        }
        const QStringList pieces = part.split(QLatin1Char(':'));
        bool okColumn = false;
        bool okWidth = false;
        const int logical = pieces.value(0).toInt(&okColumn);
        const int width = pieces.value(1).toInt(&okWidth);
        if (!okColumn || !okWidth || logical < 0 || logical >= header->count()) {
            continue;
        }
        header->moveSection(header->visualIndex(logical), i - 1);
        header->resizeSection(logical, std::clamp(width, 10, 2000));
        header->setSectionHidden(logical, hidden);
    }
}

void BrowseWindow::restoreLayout()
{
    if (!variant_.savesLayout) {
        applyFormat(builtInFormat());
        fitColumnsWhenShown(*table_);
        return;
    }
    PositionStore& positions = services_.positions();
    const std::string section = variant_.name.toStdString();
    const std::string original = positions.value(section, kLayoutOriginalKey);
    const std::string user = positions.value(section, kLayoutUserKey);
    const LayoutChoice choice =
        chooseLayout(builtInFormat().toStdString(),
                     original.empty() ? std::nullopt : std::optional<std::string>{original},
                     user.empty() ? std::nullopt : std::optional<std::string>{user});
    if (choice.recordOriginal) {
        positions.setValue(section, kLayoutOriginalKey, builtInFormat().toStdString());
    }
    applyFormat(QString::fromStdString(choice.apply));
    if (user.empty()) {
        fitColumnsWhenShown(*table_); // a first opening: the columns as their rows need
    }
}

void BrowseWindow::saveLayout()
{
    if (variant_.savesLayout) {
        services_.positions().setValue(variant_.name.toStdString(), kLayoutUserKey,
                                       formatText().toStdString());
    }
}

void BrowseWindow::closeEvent(QCloseEvent* event)
{
    saveLayout();
    event->accept();
}

} // namespace tessaly::gui

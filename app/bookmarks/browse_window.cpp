#include "bookmarks/browse_window.h"

#include "bookmarks/explorer_window.h"
#include "bookmarks/list_actions.h"
#include "bookmarks/list_drops.h"
#include "bookmarks/list_keyboard.h"
#include "bookmarks/list_sorting.h"
#include "columns/first_fit.h"
#include "columns/header_preferences.h"
#include "core/services.h"
#include "core/tables.h"
#include "framework/dialog_units.h"
#include "framework/expression.h"
#include "framework/icons.h"
#include "framework/query_fields.h"
#include "framework/query_wizard.h"
#include "framework/text.h"
#include "framework/window_register.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace tessaly::gui {

namespace {

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
    : QWidget(parent), services_(services), variant_(std::move(variant)),
      own_(sourceOf(services, variant_.source))
{
    setObjectName(variant_.name);
    setWindowIcon(themedIcon({}, QStringLiteral("list")));
    // A file another program holds has been reported by its opening; the
    // window then shows nothing and its opener closes it.
    filesOpen_ = own_.use() == kLevelDone;
    if (filesOpen_ && services_.database().bookmarks().use() != kLevelDone) {
        own_.close();
        filesOpen_ = false;
    }
    rows_ = std::make_unique<ListRows>(own_.file());
    rows_->setOrder(variant_.tabsOrder && !variant_.tabs.empty() ? variant_.tabs.front().second
                                                                 : variant_.fixedKey);
    // The category list is all of one category: its locator is on the
    // description, the key's second field.
    rows_->setLocatorComponent(variant_.category.empty() && !variant_.categoryRequired ? 0 : 1);
    rows_->setFilter(rowFilter({}));
    sorting_ = std::make_unique<ListSorting>(*this);
    rows_->setProgress(sorting_->progress());
    model_ = std::make_unique<BookmarkListModel>(
        *rows_, variant_.columns,
        [this](const Record& row) -> const Record& { return bookmarkOf(row); });
    commands_ = new ListCommands(services_, opener, *this);
    connect(commands_, &ListCommands::started, this, &BrowseWindow::minimiseFrameRequested);
    buildControls();
    if (parent == nullptr) {
        // Its design size, or what the font needs; inside the explorer
        // view the view decides.
        setMinimumSize(fromDialogUnits(this, 416, 200).expandedTo(layout()->minimumSize()));
    }
    buildContextMenu();
    format_ = std::make_unique<ListFormat>(*table_->horizontalHeader(), variant_.columns,
                                           services_.positions(), variant_.name.toStdString(),
                                           variant_.savesLayout);
    if (format_->restore()) {
        fitColumnsWhenShown(*table_); // a first opening: the columns as their rows need
    }
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
        return sorting_->sortable(logical);
    };
    hooks.sort = [this](int logical, Qt::SortOrder order) {
        if (sorting_->sortBy(logical, order)) {
            return true;
        }
        showKeyOrder(); // cancelled: back in the key's order
        return false;
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
            commands_->printShownList();
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
        format_->save(); // also when the program ends with the list still open
    }
    table_->setModel(nullptr);
    if (!services_.started() || !filesOpen_) {
        return; // the files went with the services' shutdown, or never opened
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
    table_->verticalHeader()->hide();
    table_->setWordWrap(false); // addresses break at every "/" otherwise
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setSectionsMovable(true);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    if (variant_.fullControls) {
        new ListDrops(*this, *table_, [this](const QStringList& paths) { dropShortcuts(paths); });
    }
    new ListKeyboard(*table_, {[this] { newBookmark(); }, [this] { editBookmark(); },
                               [this] { deleteBookmark(); },
                               // Enter does what a double-click does.
                               [this] { commands_->open(currentRow()); },
                               [this](const QString& typed) {
                                   locate(typed);
                               }});
    connect(table_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { commands_->open(index.row()); });
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
    auto* queryItem = new QAction(QStringLiteral("&Query"), this);
    auto* resetItem = new QAction(QStringLiteral("&Reset"), this);
    connect(queryItem, &QAction::triggered, this, &BrowseWindow::query);
    connect(resetItem, &QAction::triggered, this, &BrowseWindow::resetQuery);
    queryActions_ << queryItem;
    resetActions_ << resetItem;
    contextMenu_ = commands_->contextMenu(variant_.fullControls, queryItem, resetItem);
}

void BrowseWindow::reload()
{
    if (!filesOpen_) {
        return; // nothing to read; the opening said why
    }
    // A long sort lets events through for its Cancel; a refresh notice
    // among them is answered once the reading has ended.
    if (reloading_) {
        reloadAgain_ = true;
        return;
    }
    reloading_ = true;
    // The highlight stays on its record and the rows in view stay in view,
    // whatever changed around them.
    const int row = currentRow();
    const std::optional<std::int64_t> highlighted =
        row >= 0 && static_cast<std::size_t>(row) < rows_->size()
            ? std::optional{rows_->at(static_cast<std::size_t>(row)).position}
            : std::nullopt;
    const int scrolled = table_->verticalScrollBar()->value();
    bookmarks_.clear();
    if (const EngineStatus status = model_->reload(); !status.ok()) {
        // A damaged file lists only what could be read, and says so.
        own_.reportReadError(status);
    }
    setWindowTitle(title());
    // Only a bookmark file with nothing in it gets the hint, not a query
    // that found nothing.
    emptyHint_->setVisible(variant_.source == ListVariant::Source::Bookmarks &&
                           rows_->fileCount() == 0);
    if (model_->rowCount() > 0) {
        const std::optional<std::size_t> found =
            highlighted ? rows_->indexOf(*highlighted) : std::nullopt;
        const int now =
            found ? static_cast<int>(*found) : std::clamp(row, 0, model_->rowCount() - 1);
        table_->doItemsLayout();
        table_->verticalScrollBar()->setValue(scrolled);
        table_->selectRow(now);
        table_->scrollTo(model_->index(now, 0));
    }
    reloading_ = false;
    if (reloadAgain_) {
        reloadAgain_ = false;
        QTimer::singleShot(0, this, &BrowseWindow::reload);
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

void BrowseWindow::showKeyOrder()
{
    if (headerPreferences_ != nullptr) {
        headerPreferences_->showSorted(sorting_->keyOrderShown());
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

void BrowseWindow::locate(const QString& typed)
{
    const auto row = rows_->locate(typed.toStdString());
    if (row) {
        table_->selectRow(static_cast<int>(*row));
        table_->scrollTo(model_->index(static_cast<int>(*row), 0));
    }
}

void BrowseWindow::closeEvent(QCloseEvent* event)
{
    format_->save();
    event->accept();
}

} // namespace tessaly::gui

#include "bookmarks/explorer_window.h"

#include "bookmarks/bookmark_form_window.h"
#include "bookmarks/browse_window.h"
#include "bookmarks/categories.h"
#include "categories/category_dialogs.h"
#include "categories/category_table.h"
#include "core/services.h"
#include "core/tables.h"
#include "framework/dialog_units.h"
#include "framework/icons.h"
#include "framework/picture.h"
#include "framework/window_register.h"
#include "reports/report_printing.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace tessaly::gui {

namespace {

constexpr const char* kLeftOriginalKey = "SRCFOriginal?List";
constexpr const char* kLeftUserKey = "SRCF?List";
constexpr int kLeftBuiltInWidth = 160;

} // namespace

ExplorerWindow::ExplorerWindow(Services& services, Opener& opener, QWidget* parent)
    : QWidget(parent), services_(services)
{
    setObjectName(QStringLiteral("BrowseCategoriesAndURLFrame"));
    setWindowTitle(QStringLiteral("Browse Locations by Category"));
    setWindowIcon(themedIcon(QStringLiteral("folder"), QStringLiteral("category")));
    auto* layout = new QHBoxLayout(this);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    auto* left = new QWidget(splitter_);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    categories_ = new CategoryTable(left);
    categories_->setColumnHidden(1, true); // the left list shows the name only
    categories_->enableColumnPreferences(
        services_.positions(), services_.messages().ui(), kName, "List:", [this] {
            printCategoryList(services_.database(), services_.messages().ui(),
                              *categories_->horizontalHeader(), this);
        });
    categories_->installEventFilter(this);
    leftLayout->addWidget(categories_, 1);
    auto* buttons = new QHBoxLayout;
    const struct {
        const char* text;
        void (ExplorerWindow::*slot)();
    } actions[] = {{"&New", &ExplorerWindow::newCategory},
                   {"&Edit", &ExplorerWindow::editCategory},
                   {"&Delete", &ExplorerWindow::deleteCategory}};
    for (const auto& a : actions) {
        auto* b = new QPushButton(QString::fromUtf8(a.text), left);
        b->setObjectName(QStringLiteral("Category") +
                         QString::fromUtf8(a.text).remove(QLatin1Char('&')));
        connect(b, &QPushButton::clicked, this, a.slot);
        buttons->addWidget(b);
    }
    leftLayout->addLayout(buttons);
    bookmarks_ = new BrowseWindow(services_, opener, explorerListVariant(), splitter_);
    splitter_->addWidget(left);
    splitter_->addWidget(bookmarks_);
    splitter_->setStretchFactor(1, 1);
    // Neither list may be pushed closer than 25 dialog units to its edge.
    const int margin = fromDialogUnits(this, 25, 0).width();
    left->setMinimumWidth(margin);
    bookmarks_->setMinimumWidth(margin);
    splitter_->setChildrenCollapsible(false);
    layout->addWidget(splitter_);
    setMinimumSize(fromDialogUnits(this, 416, 173).expandedTo(layout->minimumSize()));

    // The left list's width, under the rule that a saved layout holds only
    // against the built-in format it was saved with.
    PositionStore& positions = services_.positions();
    const std::string builtIn = std::to_string(kLeftBuiltInWidth);
    std::string width = builtIn;
    bool saved = false;
    if (positions.value(kName, kLeftOriginalKey) != builtIn) {
        positions.setValue(kName, kLeftOriginalKey, builtIn);
    } else {
        width = positions.value(kName, kLeftUserKey, builtIn);
        saved = !positions.value(kName, kLeftUserKey).empty();
    }

    connect(categories_, &QTableWidget::itemSelectionChanged, this,
            &ExplorerWindow::categoryChanged);
    connect(categories_, &QTableWidget::cellDoubleClicked, this, &ExplorerWindow::editCategory);
    reloadCategories();
    // At the first opening the left list is as wide as its longest name;
    // later the width the user left it at.
    const int leftWidth = saved ? static_cast<int>(parseNumber(width).value_or(kLeftBuiltInWidth))
                                : categories_->fittingWidth();
    splitter_->setSizes({std::max(leftWidth, margin), 600});
    connect(&WindowRegister::instance(), &WindowRegister::refreshRequested, this,
            [this](const QString& name) {
                if (name == QString::fromUtf8(kName)) {
                    reloadCategories();
                }
            });
}

ExplorerWindow::~ExplorerWindow()
{
    if (services_.started()) {
        services_.positions().setValue(kName, kLeftUserKey,
                                       std::to_string(splitter_->sizes().value(0)));
    }
}

void ExplorerWindow::reloadCategories()
{
    const QSignalBlocker quiet(categories_);
    categories_->setCategories(listCategories(services_.database(), true));
    categoryChanged();
}

void ExplorerWindow::categoryChanged()
{
    const Record* category = categories_->current();
    bookmarks_->setCategory(category != nullptr ? category->text(CategoryField::Category)
                                                : std::string{});
}

void ExplorerWindow::newCategory()
{
    CategoryForm form(services_.database(), Record{categoryTable()}, true, this);
    form.exec();
}

void ExplorerWindow::editCategory()
{
    if (const Record* category = categories_->current()) {
        CategoryForm form(services_.database(), *category, true, this);
        form.setBookmarkFormOpener([this](const Record& bookmark) {
            BookmarkFormWindow bookmarkForm(services_, bookmark, this);
            bookmarkForm.exec();
        });
        form.exec();
    }
}

void ExplorerWindow::deleteCategory()
{
    if (const Record* category = categories_->current()) {
        const Record chosen = *category;
        if (tessaly::deleteCategory(services_.database(), chosen) == kLevelDone) {
            WindowRegister::instance().notifyBrowseWindows();
        }
    }
}

bool ExplorerWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == categories_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Insert) {
            newCategory();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & Qt::ControlModifier) != 0) {
            editCategory();
            return true;
        }
        if (key->key() == Qt::Key_Delete) {
            deleteCategory();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tessaly::gui

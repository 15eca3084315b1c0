#include "categories/category_list_window.h"

#include "bookmarks/categories.h"
#include "categories/category_dialogs.h"
#include "categories/category_table.h"
#include "core/database.h"
#include "core/tables.h"
#include "framework/dialog_units.h"
#include "framework/icons.h"
#include "framework/window_register.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly::gui {

CategoryListWindow::CategoryListWindow(Database& database,
                                       std::function<void(const ListVariant&)> openList,
                                       QWidget* parent,
                                       std::function<void(const Record&)> openBookmarkForm)
    : QWidget(parent), database_(database), openList_(std::move(openList)),
      openBookmarkForm_(std::move(openBookmarkForm))
{
    setObjectName(QString::fromUtf8(kName));
    setWindowTitle(QStringLiteral("Browse Categories"));
    setWindowIcon(themedIcon(QStringLiteral("folder"), QStringLiteral("category")));
    auto* layout = new QHBoxLayout(this);
    table_ = new CategoryTable(this);
    layout->addWidget(table_, 1);
    auto* side = new QVBoxLayout;
    auto* intro = new QLabel(QStringLiteral("Add, Edit, or Remove URL Categories here."), this);
    intro->setWordWrap(true);
    side->addWidget(intro);
    auto* tip = new QGroupBox(QStringLiteral("Tip:"), this);
    auto* tipLayout = new QVBoxLayout(tip);
    const char* const lines[] = {
        "You can optionally add HTML code by hand",  "or paste it in from your favorite editor.",
        "HTML code can be positioned before or",     "after each category or category title.",
        "In addition, if you add a category called", "\"_Before All\", you can position HTML code",
        "before anything is output (great for",      "backgrounds, sounds, frames, etc.)",
    };
    for (const char* line : lines) {
        tipLayout->addWidget(new QLabel(QString::fromUtf8(line), tip));
    }
    side->addWidget(tip);
    const struct {
        const char* text;
        void (CategoryListWindow::*slot)();
    } buttons[] = {
        {"&New", &CategoryListWindow::newCategory},
        {"&Edit", &CategoryListWindow::editCategory},
        {"&Delete", &CategoryListWindow::deleteCategory},
        {"Locations for this Category", &CategoryListWindow::showLocations},
    };
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), this);
        button->setObjectName(QString::fromUtf8(b.text).remove(QLatin1Char('&')));
        connect(button, &QPushButton::clicked, this, b.slot);
        side->addWidget(button);
    }
    side->addStretch();
    auto* close = new QPushButton(QStringLiteral("Cl&ose"), this);
    connect(close, &QPushButton::clicked, this, [this] {
        QWidget* frame = parentWidget() != nullptr ? parentWidget() : this;
        frame->close();
    });
    side->addWidget(close);
    layout->addLayout(side);
    // The design size, or more when the font needs it: an explicit minimum
    // would otherwise let the tip's lines be squeezed into each other.
    setMinimumSize(fromDialogUnits(this, 360, 160).expandedTo(layout->minimumSize()));
    connect(table_, &CategoryTable::cellDoubleClicked, this, &CategoryListWindow::editCategory);
    reload();
    // The refresh notice goes to windows named "BROWSE...": this one too.
    WindowRegister::instance().add(objectName(), this, [this] { reload(); });
}

void CategoryListWindow::reload()
{
    table_->setCategories(listCategories(database_, true));
}

void CategoryListWindow::newCategory()
{
    CategoryForm form(database_, Record{categoryTable()}, true, this);
    form.exec();
}

void CategoryListWindow::editCategory()
{
    if (const Record* category = table_->current()) {
        CategoryForm form(database_, *category, true, this);
        if (openBookmarkForm_) {
            form.setBookmarkFormOpener(openBookmarkForm_);
        }
        form.exec();
    }
}

void CategoryListWindow::deleteCategory()
{
    // A delete request asks and deletes without showing the form.
    if (const Record* category = table_->current()) {
        const Record chosen = *category;
        if (tessaly::deleteCategory(database_, chosen) == kLevelDone) {
            WindowRegister::instance().notifyBrowseWindows();
        }
    }
}

void CategoryListWindow::showLocations()
{
    if (const Record* category = table_->current()) {
        openList_(categoryListVariant(category->text(CategoryField::Category)));
        reload();
    }
}

} // namespace tessaly::gui

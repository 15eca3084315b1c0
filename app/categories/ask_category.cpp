#include "categories/ask_category.h"

#include "bookmarks/categories.h"
#include "categories/category_dialogs.h"
#include "categories/category_table.h"
#include "core/tables.h"
#include "framework/dialog_units.h"
#include "framework/icons.h"
#include "framework/text.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly::gui {

AskCategory::AskCategory(Database& database, const std::string& location,
                         const std::string& description, const std::string& bestGuess,
                         QWidget* parent)
    : QDialog(parent), database_(database)
{
    setObjectName(QStringLiteral("AskCategory"));
    setWindowTitle(QStringLiteral("Category Assignment"));
    setWindowIcon(programIcon());
    setMinimumSize(fromDialogUnits(this, 203, 155));
    auto* layout = new QVBoxLayout(this);
    auto* shown = new QFormLayout;
    auto* locationEdit = new QLineEdit(QString::fromStdString(location), this);
    auto* descriptionEdit = new QLineEdit(QString::fromStdString(description), this);
    locationEdit->setReadOnly(true);
    descriptionEdit->setReadOnly(true);
    shown->addRow(QStringLiteral("&Location:"), locationEdit);
    shown->addRow(QStringLiteral("&Description:"), descriptionEdit);
    layout->addLayout(shown);
    layout->addWidget(new QLabel(QStringLiteral("Select Category"), this));
    table_ = new CategoryTable(this);
    layout->addWidget(table_, 1);
    auto* guess = new QLabel(QStringLiteral("Best Guess:  ") +
                                 QString::fromStdString(std::string{text::clip(bestGuess)}),
                             this);
    guess->setObjectName(QStringLiteral("BestGuess"));
    layout->addWidget(guess);
    auto* buttons = new QHBoxLayout;
    const struct {
        const char* text;
        void (AskCategory::*slot)();
    } actions[] = {{"&Insert", &AskCategory::insertCategory},
                   {"&Select", &AskCategory::select},
                   {"&Use Best Guess", &AskCategory::useBestGuess}};
    for (const auto& a : actions) {
        auto* b = new QPushButton(QString::fromUtf8(a.text), this);
        connect(b, &QPushButton::clicked, this, a.slot);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(table_, &CategoryTable::cellDoubleClicked, this, &AskCategory::select);
    reload();
}

void AskCategory::reload()
{
    table_->setCategories(listCategories(database_, false));
}

void AskCategory::select()
{
    if (const Record* chosen = table_->current()) {
        category_ = chosen->text(CategoryField::Category);
        accept();
    }
}

void AskCategory::useBestGuess()
{
    category_.clear();
    accept();
}

void AskCategory::insertCategory()
{
    CategoryForm form(database_, Record{categoryTable()}, false, this);
    QString added;
    connect(&form, &CategoryForm::saved, this, [&] { added = form.nameEdit()->text(); });
    form.exec();
    reload();
    if (!added.isEmpty()) {
        table_->locate(added);
    }
}

} // namespace tessaly::gui

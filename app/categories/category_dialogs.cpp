#include "categories/category_dialogs.h"

#include "bookmarks/bookmark_form.h"
#include "bookmarks/categories.h"
#include "categories/category_table.h"
#include "core/database.h"
#include "core/tables.h"
#include "framework/dialog_units.h"
#include "framework/icons.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/window_register.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tessaly::gui {

namespace {

QDialogButtonBox* okCancel(QDialog* dialog, const QString& ok)
{
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QTableWidget* readOnlyTable(QWidget* parent, const QStringList& headings)
{
    auto* table = new QTableWidget(0, static_cast<int>(headings.size()), parent);
    table->setHorizontalHeaderLabels(headings);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

// The texts of the HTML types' radio buttons, in the order of kHtmlTypes.
constexpr const char* kHtmlButtons[] = {"&Replace Title", "&Before Category",
                                        "Before &Category Title", "After Category &Title",
                                        "&After Category"};

} // namespace

CategoryPicker::CategoryPicker(Database& database, const std::string& nearest, QWidget* parent)
    : QDialog(parent), database_(database)
{
    setObjectName(QStringLiteral("SelectCategories"));
    setWindowTitle(QStringLiteral("Select Category"));
    setWindowIcon(programIcon());
    setMinimumSize(fromDialogUnits(this, 250, 156));
    auto* layout = new QVBoxLayout(this);
    table_ = new CategoryTable(this);
    table_->setCategories(listCategories(database, true));
    table_->locate(QString::fromStdString(nearest));
    layout->addWidget(table_);
    QDialogButtonBox* buttons = okCancel(this, QStringLiteral("&Select"));
    // A first bookmark needs a first category: made here, then picked.
    QPushButton* add = buttons->addButton(QStringLiteral("&New"), QDialogButtonBox::ActionRole);
    add->setObjectName(QStringLiteral("New"));
    connect(add, &QPushButton::clicked, this, &CategoryPicker::newCategory);
    layout->addWidget(buttons);
    connect(table_, &QTableWidget::cellDoubleClicked, this, &CategoryPicker::accept);
    connect(this, &QDialog::accepted, this, &CategoryPicker::select);
}

void CategoryPicker::newCategory()
{
    CategoryForm form(database_, Record{categoryTable()}, true, this);
    if (form.exec() != QDialog::Accepted) {
        return;
    }
    table_->setCategories(listCategories(database_, true));
    table_->locate(form.nameEdit()->text());
    accept();
}

void CategoryPicker::select()
{
    if (const Record* category = table_->current()) {
        chosen_ = category->text(CategoryField::Category);
    }
}

CategoryHtmlForm::CategoryHtmlForm(Database& database, Record row, QWidget* parent)
    : QDialog(parent), database_(database), row_(std::move(row))
{
    setObjectName(QStringLiteral("UpdateCatHTML"));
    setWindowTitle(row_.position == 0 ? QStringLiteral("New HTML") : QStringLiteral("Edit HTML"));
    setWindowIcon(programIcon());
    setMinimumSize(fromDialogUnits(this, 307, 132));
    auto* layout = new QHBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("HTML"), this);
    auto* groupLayout = new QVBoxLayout(group);
    types_ = new QButtonGroup(this);
    const std::string current =
        row_.position == 0 ? std::string{"Before Category"} : row_.text(CatHtmlField::TypeOfHTML);
    for (int i = 0; i < 5; ++i) {
        auto* radio = new QRadioButton(QString::fromUtf8(kHtmlButtons[i]), group);
        radio->setChecked(text::equalNoCase(kHtmlTypes[i], current));
        types_->addButton(radio, i);
        groupLayout->addWidget(radio);
    }
    layout->addWidget(group);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Enter or Paste your"), this));
    right->addWidget(new QLabel(QStringLiteral("HTML code here ->"), this));
    htmlEdit_ =
        new QPlainTextEdit(QString::fromStdString(row_.text(CatHtmlField::HTMLtoAdd)), this);
    right->addWidget(htmlEdit_, 1);
    right->addWidget(okCancel(this, QStringLiteral("&OK")));
    layout->addLayout(right, 1);
}

void CategoryHtmlForm::accept()
{
    const int type = std::max(types_->checkedId(), 0);
    row_.setText(CatHtmlField::TypeOfHTML, kHtmlTypes[type]);
    row_.setText(CatHtmlField::HTMLtoAdd, htmlEdit_->toPlainText().toStdString());
    if (saveCategoryHtml(database_, row_) != kLevelDone) {
        return; // the message said why; the form stays open
    }
    WindowRegister::instance().notifyBrowseWindows();
    QDialog::accept();
}

CategoryForm::CategoryForm(Database& database, Record category, bool withChildren, QWidget* parent)
    : QDialog(parent), database_(database), original_(std::move(category))
{
    const bool isNew = original_.position == 0;
    setObjectName(withChildren ? QStringLiteral("UpdateCategories")
                               : QStringLiteral("UpdateCategoriesNoMDI"));
    if (withChildren) {
        setWindowTitle(isNew ? QStringLiteral("New Category") : QStringLiteral("Edit Category"));
    } else {
        setWindowTitle(isNew ? QStringLiteral("Category Will Be Added")
                             : QStringLiteral("Category Will Be Changed"));
    }
    setWindowIcon(programIcon());
    setMinimumSize(fromDialogUnits(this, 193, 159));
    auto* layout = new QVBoxLayout(this);
    auto* nameRow = new QFormLayout;
    nameEdit_ =
        new QLineEdit(QString::fromStdString(original_.text(CategoryField::Category)), this);
    nameEdit_->setMaxLength(50);
    nameRow->addRow(QStringLiteral("&Category:"), nameEdit_);
    layout->addLayout(nameRow);

    auto* tabs = new QTabWidget(this);
    auto* general = new QWidget(tabs);
    auto* generalLayout = new QFormLayout(general);
    descriptionEdit_ = new QPlainTextEdit(
        QString::fromStdString(original_.text(CategoryField::Description)), general);
    descriptionEdit_->setTabChangesFocus(true); // the HTML page below keeps its tabs
    generalLayout->addRow(QStringLiteral("&Description:"), descriptionEdit_);
    tabs->addTab(general, QStringLiteral("General"));
    if (withChildren) {
        auto* html = new QWidget(tabs);
        auto* htmlLayout = new QVBoxLayout(html);
        htmlTable_ = readOnlyTable(html, {QStringLiteral("Type Of HTML")});
        htmlLayout->addWidget(htmlTable_);
        auto* htmlButtons = new QHBoxLayout;
        auto* newHtml = new QPushButton(QStringLiteral("&New"), html);
        auto* editHtmlButton = new QPushButton(QStringLiteral("&Edit"), html);
        auto* deleteHtml = new QPushButton(QStringLiteral("&Delete"), html);
        htmlButtons->addWidget(newHtml);
        htmlButtons->addWidget(editHtmlButton);
        htmlButtons->addWidget(deleteHtml);
        htmlLayout->addLayout(htmlButtons);
        // HTML rows belong to a stored category: a new one gets them once saved.
        for (QPushButton* b : {newHtml, editHtmlButton, deleteHtml}) {
            b->setEnabled(!isNew);
        }
        connect(newHtml, &QPushButton::clicked, this, [this] { editHtml(true); });
        connect(editHtmlButton, &QPushButton::clicked, this, [this] { editHtml(false); });
        connect(deleteHtml, &QPushButton::clicked, this, [this] {
            const int row = htmlTable_->currentRow();
            if (row < 0 || static_cast<std::size_t>(row) >= htmlRows_.size()) {
                return;
            }
            FileManager& file = database_.catHtml();
            MessageManager::setFile(file.name());
            if (database_.messages().raise(9) != kLevelBenign || file.use() != kLevelDone) {
                return;
            }
            file.remove(htmlRows_[static_cast<std::size_t>(row)]);
            file.close();
            WindowRegister::instance().notifyBrowseWindows();
            loadHtml();
        });
        tabs->addTab(html, QStringLiteral("HTML"));

        auto* locations = new QWidget(tabs);
        auto* locationsLayout = new QVBoxLayout(locations);
        locationsTable_ =
            readOnlyTable(locations, {QStringLiteral("Description"), QStringLiteral("Location")});
        locationsLayout->addWidget(locationsTable_);
        auto* locationButtons = new QHBoxLayout;
        for (const char* text : {"&New", "&Edit", "&Delete"}) {
            auto* b = new QPushButton(QString::fromUtf8(text), locations);
            b->setObjectName(QStringLiteral("Location") +
                             QString::fromUtf8(text).remove(QLatin1Char('&')));
            b->setEnabled(false); // until the form knows how to open bookmarks
            locationButtons->addWidget(b);
            locationButtons_ << b;
        }
        const auto selected = [this]() -> const Record* {
            const int row = locationsTable_->currentRow();
            return row >= 0 && static_cast<std::size_t>(row) < locationRows_.size()
                       ? &locationRows_[static_cast<std::size_t>(row)]
                       : nullptr;
        };
        connect(locationButtons_[0], &QPushButton::clicked, this, [this] {
            // A new bookmark made here starts with this category.
            Record bookmark{bookmarkTable()};
            bookmark.setText(BookmarkField::Category, original_.text(CategoryField::Category));
            openBookmarkForm_(bookmark);
            loadLocations();
        });
        connect(locationButtons_[1], &QPushButton::clicked, this, [this, selected] {
            if (const Record* bookmark = selected()) {
                openBookmarkForm_(*bookmark);
                loadLocations();
            }
        });
        connect(locationButtons_[2], &QPushButton::clicked, this, [this, selected] {
            if (const Record* bookmark = selected()) {
                if (deleteBookmark(database_, *bookmark) == kLevelDone) {
                    WindowRegister::instance().notifyBrowseWindows();
                }
                loadLocations();
            }
        });
        locationsLayout->addLayout(locationButtons);
        tabs->addTab(locations, QStringLiteral("Locations"));
        loadHtml();
        loadLocations();
    }
    layout->addWidget(tabs, 1);
    layout->addWidget(okCancel(this, QStringLiteral("&OK")));
}

void CategoryForm::loadHtml()
{
    if (htmlTable_ == nullptr || original_.position == 0) {
        return;
    }
    htmlRows_ = categoryHtml(database_, original_.text(CategoryField::Category));
    htmlTable_->setRowCount(static_cast<int>(htmlRows_.size()));
    for (std::size_t i = 0; i < htmlRows_.size(); ++i) {
        htmlTable_->setItem(static_cast<int>(i), 0,
                            new QTableWidgetItem(QString::fromStdString(
                                htmlRows_[i].text(CatHtmlField::TypeOfHTML))));
    }
}

void CategoryForm::setBookmarkFormOpener(BookmarkFormOpener opener)
{
    openBookmarkForm_ = std::move(opener);
    const bool stored = original_.position != 0;
    for (QPushButton* b : locationButtons_) {
        b->setEnabled(openBookmarkForm_ != nullptr && stored);
    }
}

void CategoryForm::loadLocations()
{
    if (locationsTable_ == nullptr || original_.position == 0) {
        return;
    }
    locationRows_.clear();
    locationsTable_->setRowCount(0);
    FileManager& bookmarks = database_.bookmarks();
    if (bookmarks.use() != kLevelDone) {
        return;
    }
    // The category's bookmarks by URL:K_CATEGORY: same name, same letter case.
    RecordFile& file = bookmarks.file();
    Record start{bookmarkTable()};
    const std::string& name = original_.text(CategoryField::Category);
    start.setText(BookmarkField::Category, name);
    file.set(static_cast<int>(BookmarkKey::Category), start);
    Record row{bookmarkTable()};
    int count = 0;
    while (file.next(row).ok() && row.text(BookmarkField::Category) == name) {
        locationRows_.push_back(row);
        locationsTable_->setRowCount(count + 1);
        locationsTable_->setItem(
            count, 0,
            new QTableWidgetItem(QString::fromStdString(
                format(std::string_view{row.text(BookmarkField::Description)}, "@S100"))));
        locationsTable_->setItem(
            count, 1,
            new QTableWidgetItem(QString::fromStdString(
                format(std::string_view{row.text(BookmarkField::Location)}, "@S60"))));
        ++count;
    }
    bookmarks.close();
}

void CategoryForm::editHtml(bool newRow)
{
    Record row{catHtmlTable()};
    if (newRow) {
        row.setText(CatHtmlField::Category, original_.text(CategoryField::Category));
    } else {
        const int current = htmlTable_->currentRow();
        if (current < 0 || static_cast<std::size_t>(current) >= htmlRows_.size()) {
            return;
        }
        row = htmlRows_[static_cast<std::size_t>(current)];
    }
    CategoryHtmlForm form(database_, row, this);
    form.exec();
    loadHtml();
}

bool CategoryForm::changed() const
{
    return nameEdit_->text().toStdString() != original_.text(CategoryField::Category) ||
           descriptionEdit_->toPlainText().toStdString() !=
               original_.text(CategoryField::Description);
}

void CategoryForm::accept()
{
    Record category = original_;
    category.setText(CategoryField::Category, nameEdit_->text().toStdString());
    category.setText(CategoryField::Description, descriptionEdit_->toPlainText().toStdString());
    if (saveCategory(database_, original_, category) != kLevelDone) {
        nameEdit_->setFocus();
        return;
    }
    WindowRegister::instance().notifyBrowseWindows();
    Q_EMIT saved();
    QDialog::accept();
}

void CategoryForm::reject()
{
    // "Changes will be lost!": only when something was changed.
    if (changed() && database_.messages().raise(8) != kLevelBenign) {
        return;
    }
    QDialog::reject();
}

} // namespace tessaly::gui

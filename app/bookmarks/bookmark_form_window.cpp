#include "bookmarks/bookmark_form_window.h"
#include "bookmarks/bookmark_rows.h"

#include "bookmarks/categories.h"
#include "core/services.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/dialog_units.h"
#include "framework/form_widgets.h"
#include "framework/icons.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/window_register.h"
#include "import/category_guess.h"
#include "links/analyze_url_window.h"

#include <QButtonGroup>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <initializer_list>

namespace tessaly::gui {

namespace {

std::string s(const QString& text)
{
    return text.toStdString();
}

// An address entry takes one character more than an address holds, so that
// a longer address pasted in is refused when saved rather than cut here.
constexpr int kAddressEntryLength = kAddressWidth + 1;

QLineEdit* line(QWidget* parent, const std::string& value, int width)
{
    auto* edit = new QLineEdit(q(value), parent);
    edit->setMaxLength(width);
    return edit;
}

int todayYear()
{
    return QDate::currentDate().year();
}

} // namespace

// A calendar in a small dialog; the given day when cancelled.
std::int32_t BookmarkFormWindow::calendar(QWidget* parent, const QString& caption, std::int32_t day)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&dialog);
    auto* calendar = new QCalendarWidget(&dialog);
    const dates::CivilDate c = dates::civilDate(day);
    calendar->setSelectedDate(day != 0 ? QDate(c.year, c.month, c.day) : QDate::currentDate());
    layout->addWidget(calendar);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(calendar, &QCalendarWidget::activated, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) {
        return day;
    }
    const QDate chosen = calendar->selectedDate();
    return dates::dayNumber(chosen.year(), chosen.month(), chosen.day());
}

namespace {

QTableWidget* rowsTable(QWidget* parent, const QStringList& headings)
{
    auto* table = new QTableWidget(0, static_cast<int>(headings.size()), parent);
    table->setHorizontalHeaderLabels(headings);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    return table;
}

// "&New", "&Edit", "&Delete" for a list edited in place.
QHBoxLayout* rowButtons(QWidget* parent, QTableWidget* table)
{
    auto* layout = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("&New"), parent);
    auto* edit = new QPushButton(QStringLiteral("&Edit"), parent);
    auto* remove = new QPushButton(QStringLiteral("&Delete"), parent);
    QObject::connect(add, &QPushButton::clicked, table, [table] {
        const int row = table->rowCount();
        table->insertRow(row);
        for (int c = 0; c < table->columnCount(); ++c) {
            table->setItem(row, c, new QTableWidgetItem);
        }
        table->setCurrentCell(row, 0);
        table->editItem(table->item(row, 0));
    });
    QObject::connect(edit, &QPushButton::clicked, table, [table] {
        if (QTableWidgetItem* item = table->item(std::max(table->currentRow(), 0), 0)) {
            table->editItem(item);
        }
    });
    QObject::connect(remove, &QPushButton::clicked, table, [table] {
        if (table->currentRow() >= 0) {
            table->removeRow(table->currentRow());
        }
    });
    layout->addWidget(add);
    layout->addWidget(edit);
    layout->addWidget(remove);
    layout->addStretch();
    return layout;
}

QString dateText(std::int64_t day, const char* picture)
{
    return q(format(static_cast<double>(day), picture));
}

} // namespace

BookmarkFormWindow::BookmarkFormWindow(Services& services, Record bookmark, QWidget* parent)
    : QDialog(parent), services_(services), original_(std::move(bookmark)),
      inserting_(original_.position == 0)
{
    setObjectName(QStringLiteral("UpdateTESSLY"));
    setWindowTitle(inserting_ ? QStringLiteral("New Location") : QStringLiteral("Edit Location"));
    setWindowIcon(programIcon());
    setMinimumSize(fromDialogUnits(this, 320, 180));
    pickDate_ = [this](const QString& caption, std::int32_t day) {
        return calendar(this, caption, day);
    };
    const Record& b = original_;
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);

    // General.
    auto* general = new QWidget(tabs);
    auto* g = new QFormLayout(general);
    location_ = line(general, b.text(BookmarkField::Location), kAddressEntryLength);
    // "Retreive": this window's tooltip as users have always seen it.
    g->addRow(prompt(QStringLiteral("&Location:"), location_),
              locationWithAnalyze(general, location_,
                                  QStringLiteral("Retreive and analyze HTML from this location")));
    description_ = line(general, b.text(BookmarkField::Description), 255);
    g->addRow(QStringLiteral("&Description:"), description_);
    const CategoryRow categories = categoryRow(general, services_.database());
    category_ = categories.box;
    category_->setToolTip(QStringLiteral("Category"));
    category_->setCurrentText(q(b.text(BookmarkField::Category)));
    QPushButton* browse = categories.browse;
    browse->setToolTip(QStringLiteral("Select ") + category_->toolTip());
    g->addRow(prompt(QStringLiteral("&Category:"), category_), categories.row);
    rating_ = gui::ratingBox(general);
    rating_->setValue(static_cast<int>(b.number(BookmarkField::Rating)));
    g->addRow(QStringLiteral("&Rating:"), rating_);
    keyword_ = line(general, b.text(BookmarkField::Keyword), 20);
    g->addRow(QStringLiteral("&Keyword:"), keyword_);
    comments_ = new QPlainTextEdit(q(b.text(BookmarkField::Comments)), general);
    // Tab moves on, as in every other field: a tab typed into a comment
    // would be stored, and the fields after it could not be reached.
    comments_->setTabChangesFocus(true);
    g->addRow(QStringLiteral("&Comments:"), comments_);
    userName_ = line(general, b.text(BookmarkField::UserName), 40);
    g->addRow(QStringLiteral("&User Name:"), userName_);
    password_ = line(general, b.text(BookmarkField::Password), 20);
    g->addRow(QStringLiteral("&Password:"), password_);
    email_ = line(general, b.text(BookmarkField::EmailAddress), 60);
    g->addRow(QStringLiteral("&E-mail address:"), email_);
    tabs->addTab(general, QStringLiteral("General"));
    // Tab runs through the entries first and reaches the buttons after
    // them: a blank typed after Tab from Location must not press Analyze
    // (which would fetch the page and replace the description).
    QWidget* previous = location_;
    for (QWidget* next : std::initializer_list<QWidget*>{
             description_, category_, rating_, keyword_, comments_, userName_, password_, email_,
             browse, general->findChild<QPushButton*>(QStringLiteral("Analyze"))}) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    }

    // Site Info.
    auto* site = new QWidget(tabs);
    auto* si = new QFormLayout(site);
    siteInfo_ = new QPlainTextEdit(q(b.text(BookmarkField::SiteInfo)), site);
    siteInfo_->setTabChangesFocus(true);
    si->addRow(QStringLiteral("&Site Info:"), siteInfo_);
    pageSize_ = new QLineEdit(
        q(format(static_cast<double>(b.number(BookmarkField::PageSize)), "@n-14b")), site);
    si->addRow(QStringLiteral("&Page size:"), pageSize_);
    const auto dateRow = [&](QLineEdit*& edit, std::int64_t day, const char* picture,
                             const QString& prompt, const QString& caption) {
        edit = new QLineEdit(dateText(day, picture), site);
        auto* button = new QPushButton(QStringLiteral("..."), site);
        QLineEdit* target = edit;
        connect(button, &QPushButton::clicked, this,
                [this, target, caption] { pickDate(target, caption); });
        auto* row = new QHBoxLayout;
        row->addWidget(edit, 1);
        row->addWidget(button);
        si->addRow(tessaly::gui::prompt(prompt, edit), row);
    };
    dateRow(lastVisit_, b.number(BookmarkField::LastVisit), "@d17", QStringLiteral("&Last Visit:"),
            QStringLiteral("Select last visit date"));
    dateRow(lastValidated_, b.number(BookmarkField::LastValidated), "@d17",
            QStringLiteral("Last &Validated:"), QStringLiteral("Select last validation date"));
    auto* validatedRow = new QHBoxLayout;
    validated_ = new QButtonGroup(this);
    const char* states[] = {"Unknown", "Passed", "Failed"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(QString::fromUtf8(states[i]), site);
        radio->setChecked(b.number(BookmarkField::Validated) == i);
        validated_->addButton(radio, i);
        validatedRow->addWidget(radio);
    }
    si->addRow(QStringLiteral("Validated 0=Unknown, 1=Pass, 2=Fail"), validatedRow);
    dateRow(expires_, b.number(BookmarkField::Expires), "@d17b", QStringLiteral("&Expires:"),
            QStringLiteral("Select expiry date"));
    movedTo_ = line(site, b.text(BookmarkField::MovedTo), kAddressEntryLength);
    si->addRow(QStringLiteral("&Moved To:"), movedTo_);
    tabs->addTab(site, QStringLiteral("Site Info"));

    // Additional Keywords.
    auto* words = new QWidget(tabs);
    auto* w = new QVBoxLayout(words);
    keywords_ = rowsTable(words, {QStringLiteral("Keyword")});
    w->addWidget(keywords_);
    w->addLayout(rowButtons(words, keywords_));
    tabs->addTab(words, QStringLiteral("Additional Keywords"));

    // Custom.
    auto* custom = new QWidget(tabs);
    auto* c = new QFormLayout(custom);
    const BookmarkField customFields[] = {BookmarkField::Custom1, BookmarkField::Custom2,
                                          BookmarkField::Custom3};
    for (int i = 0; i < 3; ++i) {
        custom_[i] = line(custom, b.text(customFields[i]), 60);
        c->addRow(QStringLiteral("Custom &%1:").arg(i + 1), custom_[i]);
    }
    details_ = rowsTable(custom, {QStringLiteral("Label"), QStringLiteral("Value")});
    c->addRow(details_);
    c->addRow(rowButtons(custom, details_));
    tabs->addTab(custom, QStringLiteral("Custom"));
    layout->addWidget(tabs, 1);

    // The file the bookmark came from, opened on a click.
    const std::string original = b.text(BookmarkField::OriginalFilename);
    if (!original.empty()) {
        auto* link = new QLabel(
            QStringLiteral("<a href=\"%1\">%2</a>")
                .arg(QUrl::fromLocalFile(q(original)).toString(), q(original).toHtmlEscaped()),
            this);
        link->setObjectName(QStringLiteral("OriginalFilename"));
        connect(link, &QLabel::linkActivated, this,
                [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
        layout->addWidget(link);
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(description_, &QLineEdit::editingFinished, this,
            &BookmarkFormWindow::descriptionAccepted);
    connect(category_->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { categoryAccepted(); });
    connect(browse, &QPushButton::clicked, this, &BookmarkFormWindow::browseCategory);
    loadRows(std::string{text::clip(original_.text(BookmarkField::Location))});
    auto* analyzeButton = findChild<QPushButton*>(QStringLiteral("Analyze"));
    analyzeButton->setEnabled(true);
    connect(analyzeButton, &QPushButton::clicked, this, &BookmarkFormWindow::analyze);
    connectTabKeys(tabs);
    // What the user types first goes into the first field.
    location_->setFocus();
}

void BookmarkFormWindow::connectTabKeys(QTabWidget* tabs)
{
    const auto step = [tabs](int by) {
        tabs->setCurrentIndex((tabs->currentIndex() + by + tabs->count()) % tabs->count());
    };
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_Tab),
                                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)}) {
        auto* shortcut = new QShortcut(keys, this);
        const int by = keys[0].keyboardModifiers().testFlag(Qt::ShiftModifier) ? -1 : 1;
        connect(shortcut, &QShortcut::activated, tabs, [step, by] { step(by); });
    }
    // A tab chosen by key or mouse takes the focus to its first field.
    connect(tabs, &QTabWidget::currentChanged, this, [tabs] {
        QWidget* page = tabs->currentWidget();
        for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain()) {
            if (page->isAncestorOf(w) && w->isVisibleTo(page) && w->isEnabled() &&
                (w->focusPolicy() & Qt::TabFocus) != 0) {
                w->setFocus(Qt::TabFocusReason);
                return;
            }
        }
    });
}

void BookmarkFormWindow::loadRows(const std::string& location)
{
    Database& db = services_.database();
    storedKeywords_.clear();
    storedDetails_.clear();
    const auto read = [&](FileManager& file, std::vector<Record>& into) {
        if (location.empty() || file.use() != kLevelDone) {
            return;
        }
        Record start{file.table()};
        start.setText(0, location);
        file.file().set(0, start);
        Record row{file.table()};
        while (file.file().next(row).ok() && text::equalNoCase(row.text(0), location)) {
            into.push_back(row);
        }
        file.close();
    };
    read(db.keywords(), storedKeywords_);
    read(db.details(), storedDetails_);
    keywords_->setRowCount(static_cast<int>(storedKeywords_.size()));
    for (std::size_t i = 0; i < storedKeywords_.size(); ++i) {
        keywords_->setItem(static_cast<int>(i), 0,
                           new QTableWidgetItem(q(storedKeywords_[i].text(KeywordField::Keyword))));
    }
    details_->setRowCount(static_cast<int>(storedDetails_.size()));
    for (std::size_t i = 0; i < storedDetails_.size(); ++i) {
        details_->setItem(static_cast<int>(i), 0,
                          new QTableWidgetItem(q(storedDetails_[i].text(DetailField::DataLabel))));
        details_->setItem(static_cast<int>(i), 1,
                          new QTableWidgetItem(q(storedDetails_[i].text(DetailField::DataValue))));
    }
}

void BookmarkFormWindow::analyze()
{
    Record bookmark = collect();
    const std::string location{text::clip(bookmark.text(BookmarkField::Location))};
    if (location.empty()) {
        location_->setFocus();
        return;
    }
    analyzeInWindow(bookmark, services_.database(), dates::today(), this);
    showAnalysis(bookmark);
    // The page's keywords and details are stored already, at this location.
    loadRows(location);
}

// The fields an analysis fills, as it left them.
void BookmarkFormWindow::showAnalysis(const Record& analysed)
{
    description_->setText(q(analysed.text(BookmarkField::Description)));
    email_->setText(q(analysed.text(BookmarkField::EmailAddress)));
    siteInfo_->setPlainText(q(analysed.text(BookmarkField::SiteInfo)));
    pageSize_->setText(
        q(format(static_cast<double>(analysed.number(BookmarkField::PageSize)), "@n-14b")));
    lastVisit_->setText(dateText(analysed.number(BookmarkField::LastVisit), "@d17"));
    lastValidated_->setText(dateText(analysed.number(BookmarkField::LastValidated), "@d17"));
    if (QAbstractButton* state =
            validated_->button(static_cast<int>(analysed.number(BookmarkField::Validated)))) {
        state->setChecked(true);
    }
    expires_->setText(dateText(analysed.number(BookmarkField::Expires), "@d17b"));
    movedTo_->setText(q(analysed.text(BookmarkField::MovedTo)));
}

void BookmarkFormWindow::descriptionAccepted()
{
    if (inserting_ && text::trim(s(keyword_->text())).empty()) {
        keyword_->setText(q(guessCategory(s(description_->text()))));
    }
}

bool BookmarkFormWindow::categoryAccepted()
{
    Record probe{bookmarkTable()};
    probe.setText(BookmarkField::Category, s(category_->currentText()));
    if (services_.database().bookmarks().validateField(static_cast<int>(BookmarkField::Category),
                                                       probe) != kLevelDone) {
        category_->setFocus();
        return false;
    }
    return true;
}

void BookmarkFormWindow::browseCategory()
{
    const auto chosen = services_.messages().ui().pickCategory(s(category_->currentText()));
    if (chosen) {
        category_->setCurrentText(q(*chosen));
        rating_->setFocus();
    }
}

void BookmarkFormWindow::pickDate(QLineEdit* edit, const QString& caption)
{
    const Picture picture = Picture::parse(edit == expires_ ? "@d17b" : "@d17");
    const std::int32_t day = parseDate(s(edit->text()), picture, todayYear());
    const std::int32_t chosen = pickDate_(caption, day);
    edit->setText(dateText(chosen, edit == expires_ ? "@d17b" : "@d17"));
}

Record BookmarkFormWindow::collect() const
{
    Record r = original_;
    r.setText(BookmarkField::Location, text::trim(s(location_->text())));
    r.setText(BookmarkField::Description, s(description_->text()));
    r.setText(BookmarkField::Category, s(category_->currentText()));
    r.setNumber(BookmarkField::Rating, rating_->value());
    r.setText(BookmarkField::Keyword, s(keyword_->text()));
    r.setText(BookmarkField::Comments, s(comments_->toPlainText()));
    r.setText(BookmarkField::UserName, s(userName_->text()));
    r.setText(BookmarkField::Password, s(password_->text()));
    r.setText(BookmarkField::EmailAddress, s(email_->text()));
    r.setText(BookmarkField::SiteInfo, s(siteInfo_->toPlainText()));
    r.setNumber(BookmarkField::PageSize,
                static_cast<std::int64_t>(parseNumber(s(pageSize_->text())).value_or(0)));
    const Picture d17 = Picture::parse("@d17");
    r.setNumber(BookmarkField::LastVisit, parseDate(s(lastVisit_->text()), d17, todayYear()));
    r.setNumber(BookmarkField::LastValidated,
                parseDate(s(lastValidated_->text()), d17, todayYear()));
    r.setNumber(BookmarkField::Validated, std::max(validated_->checkedId(), 0));
    r.setNumber(BookmarkField::Expires, parseDate(s(expires_->text()), d17, todayYear()));
    r.setText(BookmarkField::MovedTo, s(movedTo_->text()));
    const BookmarkField customFields[] = {BookmarkField::Custom1, BookmarkField::Custom2,
                                          BookmarkField::Custom3};
    for (int i = 0; i < 3; ++i) {
        r.setText(customFields[i], s(custom_[i]->text()));
    }
    return r;
}

bool BookmarkFormWindow::changed() const
{
    const Record now = collect();
    for (int field = 0; field < bookmarkTable().fieldCount(); ++field) {
        if (now.text(field) != original_.text(field) ||
            now.number(field) != original_.number(field)) {
            return true;
        }
    }
    return keywords_->rowCount() != static_cast<int>(storedKeywords_.size()) ||
           details_->rowCount() != static_cast<int>(storedDetails_.size());
}

void BookmarkFormWindow::accept()
{
    Record bookmark = collect();
    Database& db = services_.database();
    const std::string final{text::clip(bookmark.text(BookmarkField::Location))};
    // The rows as the form shows them replace the rows stored before, at
    // the final location, in the bookmark's own transaction.
    const auto writeRows = [&] {
        const auto rewrite = [&](FileManager& file, const std::vector<Record>& stored,
                                 QTableWidget* table, bool detail) {
            for (const Record& old : stored) {
                Record gone{file.table()};
                if (file.file().getAt(old.position, gone).ok()) {
                    if (const int level = file.remove(gone); level != kLevelDone) {
                        return level;
                    }
                }
            }
            for (int row = 0; row < table->rowCount(); ++row) {
                const QTableWidgetItem* first = table->item(row, 0);
                const QTableWidgetItem* second = detail ? table->item(row, 1) : nullptr;
                const std::string a = first != nullptr ? s(first->text()) : std::string{};
                const std::string b = second != nullptr ? s(second->text()) : std::string{};
                if (text::trim(a).empty() && text::trim(b).empty()) {
                    continue;
                }
                Record r{file.table()};
                r.setText(0, final);
                r.setText(2, a);
                if (detail) {
                    r.setText(3, b);
                }
                if (const int level = file.insert(r); level != kLevelDone) {
                    return level;
                }
            }
            return kLevelDone;
        };
        if (const int level = rewrite(db.keywords(), storedKeywords_, keywords_, false);
            level != kLevelDone) {
            return level;
        }
        return rewrite(db.details(), storedDetails_, details_, true);
    };
    int level = kLevelDone;
    {
        // A file another program holds has been reported by its opening; the
        // form stays open with its edits for the user to try again.
        const FilesInUse files{&db.keywords(), &db.details()};
        level = files.level() == kLevelDone ? saveBookmark(db, original_, bookmark, writeRows)
                                            : files.level();
    }
    // The lists hear of it after every OK, a refused one too.
    WindowRegister::instance().notifyBrowseWindows();
    if (level == kLevelDone) {
        QDialog::accept();
    }
}

void BookmarkFormWindow::reject()
{
    if (changed() && services_.messages().raise(8) != kLevelBenign) {
        return;
    }
    QDialog::reject();
}

} // namespace tessaly::gui

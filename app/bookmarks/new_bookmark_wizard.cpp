#include "bookmarks/new_bookmark_wizard.h"

#include "bookmarks/bookmark_form_window.h"
#include "bookmarks/bookmark_rows.h"
#include "bookmarks/categories.h"
#include "bookmarks/x11_window_titles.h"
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

#include <QComboBox>
#include <QDate>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdlib>

namespace tessaly::gui {

namespace {

std::vector<BrowserCandidate> desktopCandidates()
{
    const char* home = std::getenv("HOME");
    std::vector<BrowserCandidate> found = firefoxCandidates(home != nullptr ? home : ".");
    for (BrowserCandidate& c : x11TitleCandidates()) {
        addCandidate(found, std::move(c));
    }
    return found;
}

QWidget* withNote(QWidget* field, const char* note)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field);
    layout->addWidget(new QLabel(QString::fromUtf8(note)), 1);
    return row;
}

} // namespace

NewBookmarkWizard::NewBookmarkWizard(Services& services, CandidateSource candidates,
                                     QWidget* parent, const QString& address)
    : QDialog(parent), services_(services), analysed_(bookmarkTable())
{
    pickDate_ = [this](const QString& caption, std::int32_t day) {
        return BookmarkFormWindow::calendar(this, caption, day);
    };
    setObjectName(QStringLiteral("Wizard:NewURL"));
    setWindowTitle(QStringLiteral("New Location"));
    setWindowIcon(programIcon());
    setMinimumSize(fromDialogUnits(this, 320, 180));
    auto* layout = new QVBoxLayout(this);
    pages_ = new QStackedWidget(this);
    layout->addWidget(pages_, 1);

    const std::string pending = text::lower(services_.pendingAddress().str());
    const bool givenAddress =
        !address.trimmed().isEmpty() || pending.find("http:") != std::string::npos ||
        pending.find("ftp:") != std::string::npos || pending.find("www.") != std::string::npos;
    if (!givenAddress) {
        candidates_ = candidates ? candidates() : desktopCandidates();
    }
    if (candidates_.size() >= 2) {
        browserPage_ = new QWidget(pages_);
        auto* b = new QVBoxLayout(browserPage_);
        b->addWidget(
            new QLabel(QStringLiteral("Select the browser window to capture, then press Next."),
                       browserPage_));
        candidateTable_ = new QTableWidget(static_cast<int>(candidates_.size()), 2, browserPage_);
        candidateTable_->setHorizontalHeaderLabels(
            {QStringLiteral("Browser Window"), QStringLiteral("URL")});
        candidateTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
        candidateTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        candidateTable_->verticalHeader()->hide();
        candidateTable_->horizontalHeader()->setStretchLastSection(true);
        for (std::size_t i = 0; i < candidates_.size(); ++i) {
            candidateTable_->setItem(static_cast<int>(i), 0,
                                     new QTableWidgetItem(q(candidates_[i].title)));
            candidateTable_->setItem(static_cast<int>(i), 1,
                                     new QTableWidgetItem(q(candidates_[i].address)));
        }
        candidateTable_->selectRow(0);
        b->addWidget(candidateTable_);
        pages_->addWidget(browserPage_);
    }

    auto* general = new QWidget(pages_);
    auto* g = new QFormLayout(general);
    location_ = new QLineEdit(general);
    // One character more than an address holds: a longer one pasted in is
    // refused when saved rather than cut here.
    location_->setMaxLength(kAddressWidth + 1);
    g->addRow(prompt(QStringLiteral("&Location:"), location_),
              locationWithAnalyze(general, location_,
                                  QStringLiteral("Retrieve and analyze HTML from this location")));
    description_ = new QLineEdit(general);
    description_->setMaxLength(255);
    g->addRow(QStringLiteral("&Description:"), description_);
    const CategoryRow categories = categoryRow(general, services_.database());
    category_ = categories.box;
    category_->setCurrentIndex(category_->count() > 0 ? 0 : -1);
    connect(categories.browse, &QPushButton::clicked, this, [this] {
        if (const auto chosen =
                services_.messages().ui().pickCategory(category_->currentText().toStdString())) {
            category_->setCurrentText(q(*chosen));
        }
    });
    g->addRow(prompt(QStringLiteral("&Category:"), category_), categories.row);
    rating_ = ratingBox(general);
    g->addRow(QStringLiteral("&Rating:"), withNote(rating_, "<<-  Rate this site"));
    keyword_ = new QLineEdit(general);
    keyword_->setMaxLength(20);
    g->addRow(QStringLiteral("&Keyword:"),
              withNote(keyword_, "<<-  Use any primary keyword you wish to sort on"));
    comments_ = new QPlainTextEdit(general);
    comments_->setTabChangesFocus(true); // Tab moves on, as in the other fields
    g->addRow(QStringLiteral("Comments:"), comments_);
    userName_ = new QLineEdit(general);
    userName_->setMaxLength(40);
    g->addRow(QStringLiteral("User Name:"), userName_);
    password_ = new QLineEdit(general);
    password_->setMaxLength(20);
    g->addRow(QStringLiteral("Password:"), password_);
    pages_->addWidget(general);

    auto* site = new QWidget(pages_);
    auto* si = new QFormLayout(site);
    siteInfo_ = new QPlainTextEdit(site);
    siteInfo_->setTabChangesFocus(true);
    si->addRow(QStringLiteral("&Site Info:"), siteInfo_);
    email_ = new QLineEdit(site);
    email_->setMaxLength(60);
    si->addRow(QStringLiteral("&E-mail address:"), email_);
    expires_ = new QLineEdit(site);
    auto* expiresButton = new QPushButton(QStringLiteral("..."), site);
    connect(expiresButton, &QPushButton::clicked, this, [this] {
        const Picture picture = Picture::parse("@d17b");
        const std::int32_t day =
            parseDate(expires_->text().toStdString(), picture, QDate::currentDate().year());
        const std::int32_t chosen = pickDate_(QStringLiteral("Select Expiry Date"), day);
        expires_->setText(q(format(static_cast<double>(chosen), "@d17b")));
    });
    auto* expiresRow = new QHBoxLayout;
    expiresRow->addWidget(expires_, 1);
    expiresRow->addWidget(expiresButton);
    si->addRow(prompt(QStringLiteral("&Expires:"), expires_), expiresRow);
    pages_->addWidget(site);

    auto* buttons = new QHBoxLayout;
    backButton_ = new QPushButton(QStringLiteral("&Back"), this);
    nextButton_ = new QPushButton(QStringLiteral("&Next"), this);
    finishButton_ = new QPushButton(QStringLiteral("&Finish"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addStretch();
    for (QPushButton* b : {backButton_, nextButton_, finishButton_, cancel}) {
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(backButton_, &QPushButton::clicked, this, &NewBookmarkWizard::back);
    connect(nextButton_, &QPushButton::clicked, this, &NewBookmarkWizard::next);
    connect(finishButton_, &QPushButton::clicked, this, &NewBookmarkWizard::finish);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(location_, &QLineEdit::editingFinished, this, &NewBookmarkWizard::locationAccepted);
    connect(description_, &QLineEdit::editingFinished, this,
            &NewBookmarkWizard::descriptionAccepted);

    auto* analyzeButton = findChild<QPushButton*>(QStringLiteral("Analyze"));
    analyzeButton->setEnabled(true);
    connect(analyzeButton, &QPushButton::clicked, this, &NewBookmarkWizard::analyze);
    if (givenAddress) {
        location_->setText(!address.trimmed().isEmpty()
                               ? address.trimmed()
                               : q(std::string{text::trim(services_.pendingAddress().str())}));
        // A page given to the wizard is taken and analysed at once.
        analyseWhenShown_ = true;
    } else if (candidates_.size() == 1) {
        takeCandidate(candidates_.front());
    }
    updateButtons();
}

int NewBookmarkWizard::currentPage() const
{
    return pages_->currentIndex();
}

void NewBookmarkWizard::takeCandidate(const BrowserCandidate& candidate)
{
    location_->setText(q(candidate.address));
    description_->setText(q(candidate.title));
    locationAccepted();
}

void NewBookmarkWizard::updateButtons()
{
    backButton_->setEnabled(pages_->currentIndex() > 0);
    nextButton_->setEnabled(pages_->currentIndex() < pages_->count() - 1);
}

void NewBookmarkWizard::next()
{
    if (browserPage_ != nullptr && pages_->currentWidget() == browserPage_) {
        const int row = candidateTable_->currentRow();
        if (row >= 0) {
            takeCandidate(candidates_[static_cast<std::size_t>(row)]);
        }
    }
    pages_->setCurrentIndex(std::min(pages_->currentIndex() + 1, pages_->count() - 1));
    updateButtons();
}

void NewBookmarkWizard::back()
{
    pages_->setCurrentIndex(std::max(pages_->currentIndex() - 1, 0));
    updateButtons();
}

void NewBookmarkWizard::locationAccepted()
{
    if (text::trim(keyword_->text().toStdString()).empty()) {
        keyword_->setText(q(keywordFromLocation(location_->text().toStdString())));
    }
}

void NewBookmarkWizard::descriptionAccepted()
{
    if (text::trim(keyword_->text().toStdString()).empty()) {
        keyword_->setText(q(guessCategory(description_->text().toStdString())));
    }
}

void NewBookmarkWizard::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (analyseWhenShown_) {
        analyseWhenShown_ = false;
        QTimer::singleShot(0, this, &NewBookmarkWizard::analyze);
    }
}

Record NewBookmarkWizard::collect() const
{
    Record bookmark = analysed_;
    bookmark.setText(BookmarkField::Location, text::trim(location_->text().toStdString()));
    bookmark.setText(BookmarkField::Description, description_->text().toStdString());
    bookmark.setText(BookmarkField::Category, category_->currentText().toStdString());
    bookmark.setNumber(BookmarkField::Rating, rating_->value());
    bookmark.setText(BookmarkField::Keyword, keyword_->text().toStdString());
    bookmark.setText(BookmarkField::Comments, comments_->toPlainText().toStdString());
    bookmark.setText(BookmarkField::UserName, userName_->text().toStdString());
    bookmark.setText(BookmarkField::Password, password_->text().toStdString());
    bookmark.setText(BookmarkField::SiteInfo, siteInfo_->toPlainText().toStdString());
    bookmark.setText(BookmarkField::EmailAddress, email_->text().toStdString());
    bookmark.setNumber(BookmarkField::Expires,
                       parseDate(expires_->text().toStdString(), Picture::parse("@d17b"),
                                 QDate::currentDate().year()));
    return bookmark;
}

void NewBookmarkWizard::analyze()
{
    Record bookmark = collect();
    if (text::clip(bookmark.text(BookmarkField::Location)).empty()) {
        location_->setFocus();
        return;
    }
    analyzeInWindow(bookmark, services_.database(), dates::today(), this);
    analysed_ = bookmark;
    description_->setText(q(bookmark.text(BookmarkField::Description)));
    siteInfo_->setPlainText(q(bookmark.text(BookmarkField::SiteInfo)));
    email_->setText(q(bookmark.text(BookmarkField::EmailAddress)));
    expires_->setText(
        q(format(static_cast<double>(bookmark.number(BookmarkField::Expires)), "@d17b")));
}

void NewBookmarkWizard::finish()
{
    Record bookmark = collect();
    Database& db = services_.database();
    int level = kLevelDone;
    {
        // A file another program holds has been reported by its opening;
        // the wizard stays open with what was typed.
        const FilesInUse files{&db.keywords(), &db.details()};
        level = files.level() == kLevelDone ? saveBookmark(db, Record{bookmarkTable()}, bookmark)
                                            : files.level();
    }
    if (level == kLevelDone) {
        // Whoever started the wizard (a list, the tray, a hot key, another
        // program handing over an address), every open list shows it.
        WindowRegister::instance().notifyBrowseWindows();
        accept();
    }
}

} // namespace tessaly::gui

#pragma once

#include "bookmarks/bookmark_form.h"
#include "platform/browser_addresses.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <vector>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;

namespace tessaly {
class Services;
}

namespace tessaly::gui {

// The new-bookmark wizard "Wizard:NewURL": takes the pending address, or
// the address shown in a browser window, and adds one bookmark in pages
// (the browser page when there is a choice, "General", "Site Info").
class NewBookmarkWizard final : public QDialog {
    Q_OBJECT

public:
    using CandidateSource = std::function<std::vector<BrowserCandidate>()>;

    // `candidates` lists the addresses shown in browsers (Firefox's session
    // store and X11 window titles unless replaced). An `address` handed to
    // the program (its command line) is taken and analysed at once, as the
    // pending address is, without looking at the browsers.
    NewBookmarkWizard(Services& services, CandidateSource candidates = {},
                      QWidget* parent = nullptr, const QString& address = {});

    bool showsBrowserPage() const { return browserPage_ != nullptr; }
    int currentPage() const;
    QTableWidget* candidateTable() const { return candidateTable_; }
    QLineEdit* locationEdit() const { return location_; }
    QLineEdit* descriptionEdit() const { return description_; }
    QLineEdit* keywordEdit() const { return keyword_; }
    QComboBox* categoryBox() const { return category_; }

    void next();
    void back();
    void finish();
    void locationAccepted();
    void descriptionAccepted();
    // "Analy&ze": fills the pages from the page at the location.
    void analyze();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Record collect() const;
    void takeCandidate(const BrowserCandidate& candidate);
    void updateButtons();

    Services& services_;
    std::vector<BrowserCandidate> candidates_;
    QStackedWidget* pages_ = nullptr;
    QWidget* browserPage_ = nullptr;
    QTableWidget* candidateTable_ = nullptr;
    QLineEdit* location_ = nullptr;
    QLineEdit* description_ = nullptr;
    QComboBox* category_ = nullptr;
    QSpinBox* rating_ = nullptr;
    QLineEdit* keyword_ = nullptr;
    QPlainTextEdit* comments_ = nullptr;
    QLineEdit* userName_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPlainTextEdit* siteInfo_ = nullptr;
    QLineEdit* email_ = nullptr;
    QLineEdit* expires_ = nullptr;
    std::function<std::int32_t(const QString&, std::int32_t)> pickDate_;
    QPushButton* backButton_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QPushButton* finishButton_ = nullptr;
    // What the last analysis filled, the fields no page shows too (dates,
    // size, the pass mark); blank before any.
    Record analysed_;
    bool analyseWhenShown_ = false;
};

} // namespace tessaly::gui

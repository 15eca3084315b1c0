#pragma once

#include "bookmarks/bookmark_form.h"
#include "core/record.h"

#include <QDialog>

#include <functional>
#include <vector>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace tessaly {
class Services;
}

namespace tessaly::gui {

// The bookmark form "UpdateTESSLY": a bookmark on four tabs (General, Site
// Info, Additional Keywords, Custom) with its keyword and detail rows.
// "&OK" saves bookmark and rows together; the rows move with the bookmark
// when its location changes.
class BookmarkFormWindow final : public QDialog {
    Q_OBJECT

public:
    // Asks for a date: caption and day number in, the chosen day out (the
    // given one when cancelled). Tests replace the calendar.
    using DatePicker = std::function<std::int32_t(const QString& caption, std::int32_t day)>;

    // `bookmark.position` 0 inserts ("New Location"), else changes it
    // ("Edit Location").
    BookmarkFormWindow(Services& services, Record bookmark, QWidget* parent = nullptr);

    void setDatePicker(DatePicker picker) { pickDate_ = std::move(picker); }
    // The calendar dialog the date buttons open.
    static std::int32_t calendar(QWidget* parent, const QString& caption, std::int32_t day);

    void accept() override;
    void reject() override;

    // Field editors, by their prompts, for tests.
    QLineEdit* locationEdit() const { return location_; }
    QLineEdit* descriptionEdit() const { return description_; }
    QComboBox* categoryBox() const { return category_; }
    QLineEdit* keywordEdit() const { return keyword_; }
    QSpinBox* ratingBox() const { return rating_; }
    QLineEdit* lastVisitEdit() const { return lastVisit_; }
    QTableWidget* keywordTable() const { return keywords_; }
    QTableWidget* detailTable() const { return details_; }

    // The form's steps on accepting a field (also run by the widgets).
    void descriptionAccepted();
    bool categoryAccepted();
    void browseCategory();
    void pickDate(QLineEdit* edit, const QString& caption);
    // "Analy&ze": fills the form from the page at its location.
    void analyze();

private:
    void connectTabKeys(QTabWidget* tabs);
    Record collect() const;
    void loadRows(const std::string& location);
    void showAnalysis(const Record& analysed);
    bool changed() const;

    Services& services_;
    Record original_;
    bool inserting_;
    DatePicker pickDate_;
    QLineEdit* location_ = nullptr;
    QLineEdit* description_ = nullptr;
    QComboBox* category_ = nullptr;
    QSpinBox* rating_ = nullptr;
    QLineEdit* keyword_ = nullptr;
    QPlainTextEdit* comments_ = nullptr;
    QLineEdit* userName_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* email_ = nullptr;
    QPlainTextEdit* siteInfo_ = nullptr;
    QLineEdit* pageSize_ = nullptr;
    QLineEdit* lastVisit_ = nullptr;
    QLineEdit* lastValidated_ = nullptr;
    QButtonGroup* validated_ = nullptr;
    QLineEdit* expires_ = nullptr;
    QLineEdit* movedTo_ = nullptr;
    QLineEdit* custom_[3] = {};
    QTableWidget* keywords_ = nullptr;
    QTableWidget* details_ = nullptr;
    std::vector<Record> storedKeywords_;
    std::vector<Record> storedDetails_;
};

} // namespace tessaly::gui

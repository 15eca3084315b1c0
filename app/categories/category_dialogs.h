#pragma once

#include "core/record.h"

#include <QDialog>
#include <QList>

#include <functional>

#include <optional>
#include <string>

class QButtonGroup;
class QPushButton;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;

namespace tessaly {
class Database;
}

namespace tessaly::gui {

class CategoryTable;

// "Select Category": picks a category, starting at the nearest name.
class CategoryPicker final : public QDialog {
    Q_OBJECT

public:
    CategoryPicker(Database& database, const std::string& nearest, QWidget* parent = nullptr);
    // The chosen name after "&Select" or a category made with "&New";
    // empty after "Cancel".
    std::optional<std::string> chosen() const { return chosen_; }
    CategoryTable* table() const { return table_; }

private:
    void newCategory();
    void select();

    Database& database_;
    CategoryTable* table_ = nullptr;
    std::optional<std::string> chosen_;
};

// "New HTML" / "Edit HTML": one piece of HTML for a category and its place.
class CategoryHtmlForm final : public QDialog {
    Q_OBJECT

public:
    // `row` with position 0 is a new row.
    CategoryHtmlForm(Database& database, Record row, QWidget* parent = nullptr);
    void accept() override;

    QButtonGroup* types() const { return types_; }
    QPlainTextEdit* htmlEdit() const { return htmlEdit_; }

private:
    Database& database_;
    Record row_;
    QButtonGroup* types_ = nullptr;
    QPlainTextEdit* htmlEdit_ = nullptr;
};

// "New Category" / "Edit Category": the name, and the tabs General (the
// description), HTML (the category's HTML rows) and Locations (its
// bookmarks). Without `withChildren` it is the form the imports' category
// dialog opens: "Category Will Be Added" / "Category Will Be Changed", the
// General tab only.
class CategoryForm final : public QDialog {
    Q_OBJECT

public:
    // Opens the bookmark form on a bookmark (position 0: a new one).
    using BookmarkFormOpener = std::function<void(const Record& bookmark)>;

    CategoryForm(Database& database, Record category, bool withChildren = true,
                 QWidget* parent = nullptr);

    // The Locations tab's "&New" and "&Edit" open the bookmark form through
    // this; without it they stay disabled.
    void setBookmarkFormOpener(BookmarkFormOpener opener);
    void accept() override;
    void reject() override;

    QLineEdit* nameEdit() const { return nameEdit_; }
    QPlainTextEdit* descriptionEdit() const { return descriptionEdit_; }
    QTableWidget* htmlTable() const { return htmlTable_; }
    QTableWidget* locationsTable() const { return locationsTable_; }
    // Opens the HTML form on a row (tests replace the dialog's run).
    void editHtml(bool newRow);

Q_SIGNALS:
    void saved();

private:
    bool changed() const;
    void loadHtml();
    void loadLocations();

    Database& database_;
    Record original_;
    QLineEdit* nameEdit_ = nullptr;
    QPlainTextEdit* descriptionEdit_ = nullptr;
    QTableWidget* htmlTable_ = nullptr;
    QTableWidget* locationsTable_ = nullptr;
    std::vector<Record> htmlRows_;
    std::vector<Record> locationRows_;
    BookmarkFormOpener openBookmarkForm_;
    QList<QPushButton*> locationButtons_;
};

} // namespace tessaly::gui

#pragma once

#include <QDialog>

#include <string>

namespace tessaly {
class Database;
}

namespace tessaly::gui {

class CategoryTable;

// "Category Assignment": asks which category an imported bookmark goes to.
// "&Select" gives the highlighted category, "&Use Best Guess" a blank name
// (the import then takes its guess), "&Insert" adds a category first.
class AskCategory final : public QDialog {
    Q_OBJECT

public:
    AskCategory(Database& database, const std::string& location, const std::string& description,
                const std::string& bestGuess, QWidget* parent = nullptr);

    // The chosen category; blank for "&Use Best Guess" (and for Cancel).
    const std::string& category() const { return category_; }
    CategoryTable* table() const { return table_; }

    void select();
    void useBestGuess();
    void insertCategory();

private:
    void reload();

    Database& database_;
    CategoryTable* table_ = nullptr;
    std::string category_;
};

} // namespace tessaly::gui

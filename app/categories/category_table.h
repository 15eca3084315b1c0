#pragma once

#include "core/record.h"

#include <QTableWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {
class PositionStore;
class UiPort;
} // namespace tessaly

namespace tessaly::gui {

class HeaderPreferences;

// The two columns of the category windows, "Category" (@s50) and
// "Description" (its first 255 characters), every row loaded, in key order.
// Typing moves to the first name at or after what was typed.
class CategoryTable final : public QTableWidget {
    Q_OBJECT

public:
    explicit CategoryTable(QWidget* parent = nullptr);

    void setCategories(std::vector<Record> categories);
    // The width that shows every shown column's heading and its rows whole
    // (a long description up to a share of the screen).
    int fittingWidth() const;
    QSize sizeHint() const override;
    // The highlighted category, or null.
    const Record* current() const;
    // Highlights the first name at or after `name` (letter case ignored).
    void locate(const QString& name);

    // Rows in the order of a column, letter case ignored, until the next
    // choice; the key order again with nullopt.
    void sortBy(std::optional<std::pair<int, Qt::SortOrder>> order);
    // The headings' menu and sorting, kept under `section` + ">Header";
    // `print` prints the list ("Print List...").
    HeaderPreferences& enableColumnPreferences(PositionStore& positions, UiPort& ui,
                                               const std::string& section,
                                               const std::string& keyPrefix = {},
                                               std::function<void()> print = {});

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill(int keepRow);

    std::vector<Record> categories_;
    std::optional<std::pair<int, Qt::SortOrder>> order_;
    QString typed_;
    qint64 lastKey_ = 0;
};

} // namespace tessaly::gui

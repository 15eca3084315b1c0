#pragma once

#include "core/record.h"

#include <QTableWidget>

#include <vector>

namespace tessaly::gui {

// The two columns of the category windows, "Category" (@s50) and
// "Description" (its first 255 characters), every row loaded, in key order.
// Typing moves to the first name at or after what was typed.
class CategoryTable final : public QTableWidget {
    Q_OBJECT

public:
    explicit CategoryTable(QWidget* parent = nullptr);

    void setCategories(std::vector<Record> categories);
    // The highlighted category, or null.
    const Record* current() const;
    // Highlights the first name at or after `name` (letter case ignored).
    void locate(const QString& name);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::vector<Record> categories_;
    QString typed_;
    qint64 lastKey_ = 0;
};

} // namespace tessaly::gui

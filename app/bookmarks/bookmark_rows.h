#pragma once

#include "bookmarks/categories.h"
#include "core/tables.h"
#include "framework/form_widgets.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>

namespace tessaly::gui {

// The rows the bookmark form and the new-bookmark wizard both show.

// The editable category box, offering the stored categories, with its
// "&Browse" button beside it; each window decides what Browse does.
struct CategoryRow {
    QComboBox* box = nullptr;
    QPushButton* browse = nullptr;
    QHBoxLayout* row = nullptr;
};

inline CategoryRow categoryRow(QWidget* parent, Database& database)
{
    CategoryRow r{new QComboBox(parent), new QPushButton(QStringLiteral("&Browse"), parent),
                  new QHBoxLayout};
    r.box->setEditable(true);
    for (const Record& c : listCategories(database, false)) {
        r.box->addItem(q(c.text(CategoryField::Category)));
    }
    r.row->addWidget(r.box, 1);
    r.row->addWidget(r.browse);
    return r;
}

// The rating editor: 0 to 99, blank when zero (@N2b).
inline QSpinBox* ratingBox(QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setRange(0, 99);
    box->setSpecialValueText(QStringLiteral(" "));
    return box;
}

} // namespace tessaly::gui

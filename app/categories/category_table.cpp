#include "categories/category_table.h"

#include "core/tables.h"
#include "framework/picture.h"
#include "framework/text.h"

#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>

namespace tessaly::gui {

CategoryTable::CategoryTable(QWidget* parent) : QTableWidget(0, 2, parent)
{
    setHorizontalHeaderLabels({QStringLiteral("Category"), QStringLiteral("Description")});
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    setColumnWidth(0, 180);
}

void CategoryTable::setCategories(std::vector<Record> categories)
{
    // The highlight stays on its category, wherever a rename sorted it.
    int keep = currentRow();
    const Record* before = current();
    const std::int64_t kept = before != nullptr ? before->position : 0;
    for (std::size_t i = 0; kept != 0 && i < categories.size(); ++i) {
        if (categories[i].position == kept) {
            keep = static_cast<int>(i);
        }
    }
    categories_ = std::move(categories);
    setRowCount(static_cast<int>(categories_.size()));
    for (std::size_t i = 0; i < categories_.size(); ++i) {
        const Record& c = categories_[i];
        const auto row = static_cast<int>(i);
        setItem(row, 0,
                new QTableWidgetItem(QString::fromStdString(
                    format(std::string_view{c.text(CategoryField::Category)}, "@s50"))));
        setItem(row, 1,
                new QTableWidgetItem(QString::fromStdString(
                    format(std::string_view{c.text(CategoryField::Description)}, "@s255"))));
    }
    if (rowCount() > 0) {
        selectRow(std::clamp(keep, 0, rowCount() - 1));
    }
}

const Record* CategoryTable::current() const
{
    const int row = currentRow();
    return row >= 0 && static_cast<std::size_t>(row) < categories_.size()
               ? &categories_[static_cast<std::size_t>(row)]
               : nullptr;
}

void CategoryTable::locate(const QString& name)
{
    const std::string wanted = name.toStdString();
    for (std::size_t i = 0; i < categories_.size(); ++i) {
        if (text::compareNoCase(categories_[i].text(CategoryField::Category), wanted) >= 0) {
            selectRow(static_cast<int>(i));
            return;
        }
    }
    if (rowCount() > 0) {
        selectRow(rowCount() - 1);
    }
}

void CategoryTable::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    if (typed.isEmpty() || !typed.at(0).isPrint() || event->modifiers() != Qt::NoModifier) {
        QTableWidget::keyPressEvent(event);
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastKey_ > 1200) {
        typed_.clear();
    }
    lastKey_ = now;
    typed_ += typed;
    locate(typed_);
}

} // namespace tessaly::gui

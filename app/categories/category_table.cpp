#include "categories/category_table.h"

#include "columns/header_preferences.h"
#include "core/tables.h"
#include "framework/content_size.h"
#include "framework/picture.h"
#include "framework/text.h"

#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>

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

int CategoryTable::fittingWidth() const
{
    const QHeaderView* header = horizontalHeader();
    const int most = availableScreen(this).width() / 3;
    int width = 2 * frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int column = 0; column < columnCount(); ++column) {
        if (!isColumnHidden(column)) {
            width += std::max({columnWidth(column), header->sectionSizeHint(column),
                               std::min(sizeHintForColumn(column), most)});
        }
    }
    return width;
}

QSize CategoryTable::sizeHint() const
{
    return {fittingWidth(), QTableWidget::sizeHint().height()};
}

void CategoryTable::setCategories(std::vector<Record> categories)
{
    categories_ = std::move(categories);
    fill(currentRow());
    updateGeometry(); // the width the names and descriptions need has changed
}

// Shows `categories_` in the chosen order. The highlight stays on its
// category, wherever a rename or the order put it.
void CategoryTable::fill(int keepRow)
{
    const std::int64_t kept = keepRow >= 0 && keepRow < rowCount() && item(keepRow, 0) != nullptr
                                  ? item(keepRow, 0)->data(Qt::UserRole).toLongLong()
                                  : 0;
    // Without a chosen order, the key's: by name, letter case ignored, as
    // the file keeps it (and as the rows arrive).
    const auto [column, direction] = order_.value_or(std::pair{0, Qt::AscendingOrder});
    const auto field = column == 0 ? CategoryField::Category : CategoryField::Description;
    const bool descending = direction == Qt::DescendingOrder;
    // compareNoCase orders as the file's case-insensitive keys do, so the
    // order without a choice is the file's own.
    std::stable_sort(categories_.begin(), categories_.end(), [&](const Record& a, const Record& b) {
        const int compared = text::compareNoCase(a.text(field), b.text(field));
        return descending ? compared > 0 : compared < 0;
    });
    int keep = keepRow;
    setRowCount(static_cast<int>(categories_.size()));
    for (std::size_t i = 0; i < categories_.size(); ++i) {
        const Record& c = categories_[i];
        const auto row = static_cast<int>(i);
        auto* name = new QTableWidgetItem(QString::fromStdString(
            format(std::string_view{c.text(CategoryField::Category)}, "@s50")));
        name->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(c.position));
        setItem(row, 0, name);
        setItem(row, 1,
                new QTableWidgetItem(QString::fromStdString(
                    format(std::string_view{c.text(CategoryField::Description)}, "@s255"))));
        if (kept != 0 && c.position == kept) {
            keep = row;
        }
    }
    if (rowCount() > 0) {
        selectRow(std::clamp(keep, 0, rowCount() - 1));
    }
}

void CategoryTable::sortBy(std::optional<std::pair<int, Qt::SortOrder>> order)
{
    order_ = order;
    fill(currentRow());
}

HeaderPreferences& CategoryTable::enableColumnPreferences(PositionStore& positions, UiPort& ui,
                                                          const std::string& section,
                                                          const std::string& keyPrefix,
                                                          std::function<void()> print)
{
    HeaderPreferences::Hooks hooks;
    hooks.print = std::move(print);
    // Every category is loaded: both columns sort in memory.
    hooks.sortable = [](int) {
        return true;
    };
    hooks.sort = [this](int logical, Qt::SortOrder order) {
        sortBy(std::pair{logical, order});
        return true;
    };
    // The columns as the window made them (the explorer hides the
    // description) are what "Reset Columns" puts back.
    std::vector<std::pair<bool, int>> builtIn; // hidden, width
    for (int logical = 0; logical < horizontalHeader()->count(); ++logical) {
        builtIn.emplace_back(isColumnHidden(logical), columnWidth(logical));
    }
    hooks.resetColumns = [this, builtIn] {
        QHeaderView* header = horizontalHeader();
        for (int logical = 0; logical < header->count(); ++logical) {
            header->moveSection(header->visualIndex(logical), logical);
            header->setSectionHidden(logical, builtIn[static_cast<std::size_t>(logical)].first);
            header->resizeSection(logical, builtIn[static_cast<std::size_t>(logical)].second);
        }
        sortBy(std::nullopt);
    };
    auto* preferences =
        new HeaderPreferences(*this, positions, section, ui, std::move(hooks), keyPrefix);
    preferences->restore();
    return *preferences;
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

#include "bookmarks/list_sorting.h"

#include "bookmarks/browse_window.h"
#include "bookmarks/field_sort.h"
#include "core/file_manager.h"

#include <QApplication>
#include <QProgressDialog>
#include <QSignalBlocker>
#include <QTabBar>

namespace tessaly::gui {

namespace {

// A sort quicker than this goes by with the wait cursor alone.
constexpr qint64 kProgressAfterMs = 400;
constexpr qint64 kLookEveryMs = 100;

} // namespace

ListSorting::ListSorting(BrowseWindow& list) : list_(list)
{}

ListSorting::~ListSorting()
{
    finish();
}

int ListSorting::keyForColumn(int logical) const
{
    const ListVariant& variant = list_.variant();
    const ListColumn& column = variant.columns.at(static_cast<std::size_t>(logical));
    const bool ownField = !column.ofBookmark || variant.source == ListVariant::Source::Bookmarks;
    return ownField && !column.icon ? keyServingField(list_.file().table(), column.field) : -1;
}

bool ListSorting::sortable(int logical) const
{
    return logical >= 0 && static_cast<std::size_t>(logical) < list_.variant().columns.size();
}

bool ListSorting::sortBy(int logical, Qt::SortOrder order)
{
    if (!sortable(logical)) {
        return false;
    }
    const ListVariant& variant = list_.variant();
    ListRows& rows = list_.rows();
    const ListColumn& column = variant.columns[static_cast<std::size_t>(logical)];
    const bool descending = order == Qt::DescendingOrder;
    if (const int key = keyForColumn(logical); key >= 0) {
        rows.setFieldSort(std::nullopt, descending);
        rows.setOrder(key);
        // The tab of that order, if the list has one, shows it.
        for (std::size_t tab = 0; variant.tabsOrder && tab < variant.tabs.size(); ++tab) {
            if (variant.tabs[tab].second == key) {
                const QSignalBlocker quiet(list_.tabs());
                list_.tabs()->setCurrentIndex(static_cast<int>(tab));
            }
        }
    } else {
        ListRows::RecordOf recordOf;
        if (column.ofBookmark && variant.source != ListVariant::Source::Bookmarks) {
            recordOf = [this](const Record& row) -> const Record& {
                return list_.bookmarkOf(row);
            };
        }
        rows.setFieldSort(column.field, descending, std::move(recordOf));
    }
    list_.reload();
    return !rows.cancelled();
}

std::optional<std::pair<int, Qt::SortOrder>> ListSorting::keyOrderShown() const
{
    const ListRows& rows = list_.rows();
    for (std::size_t logical = 0; logical < list_.variant().columns.size(); ++logical) {
        if (keyForColumn(static_cast<int>(logical)) == rows.order()) {
            return std::pair{static_cast<int>(logical),
                             rows.descending() ? Qt::DescendingOrder : Qt::AscendingOrder};
        }
    }
    return std::nullopt;
}

ListRows::Progress ListSorting::progress()
{
    return [this](std::size_t done, std::size_t total) {
        return step(done, total);
    };
}

bool ListSorting::step(std::size_t done, std::size_t total)
{
    if (!busy_) {
        busy_ = true;
        running_.start();
        lastLook_ = 0;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    if (done >= total) {
        finish();
        return true;
    }
    if (dialog_ == nullptr && running_.elapsed() > kProgressAfterMs) {
        dialog_ = new QProgressDialog(QStringLiteral("Sorting the list..."),
                                      QStringLiteral("Cancel"), 0, 1000, &list_);
        dialog_->setWindowTitle(list_.windowTitle());
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->show();
    }
    // Cancel is looked at a few times a second: each look repaints.
    if (dialog_ != nullptr && running_.elapsed() - lastLook_ >= kLookEveryMs) {
        lastLook_ = running_.elapsed();
        dialog_->setValue(static_cast<int>(done * 1000 / std::max<std::size_t>(total, 1)));
        QCoreApplication::processEvents();
        if (dialog_->wasCanceled()) {
            finish();
            return false;
        }
    }
    return true;
}

void ListSorting::finish()
{
    if (dialog_ != nullptr) {
        delete dialog_.data();
    }
    if (busy_) {
        busy_ = false;
        QApplication::restoreOverrideCursor();
    }
}

} // namespace tessaly::gui

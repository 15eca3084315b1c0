#pragma once

#include "bookmarks/list_rows.h"

#include <QElapsedTimer>
#include <QPointer>

#include <optional>
#include <utility>

class QProgressDialog;
class QWidget;

namespace tessaly::gui {

class BrowseWindow;

// Which heading sorts a bookmark list, and how. A column whose field starts
// a key of the list's file sorts through that key (a long list stays
// paged); any other column sorts by its field's values, in memory for a
// short list and through a sorted position list for a long one. Building
// that list reads every row once: past a moment it shows a wait cursor and
// a progress window whose Cancel puts the list back in its key's order.
class ListSorting final {
public:
    explicit ListSorting(BrowseWindow& list);
    ~ListSorting();
    ListSorting(const ListSorting&) = delete;
    ListSorting& operator=(const ListSorting&) = delete;

    // The key of the list's file that orders rows by the column's field, or
    // -1 (fields of the bookmark a keyword or detail row belongs to have
    // none in the row's own file).
    int keyForColumn(int logical) const;
    bool sortable(int logical) const;
    // Sorts and reloads; false when the column cannot sort or the user
    // cancelled (the rows are then in the key's order).
    bool sortBy(int logical, Qt::SortOrder order);
    // The heading of the key the rows are in, with its direction (none
    // when no column shows the key's first field).
    std::optional<std::pair<int, Qt::SortOrder>> keyOrderShown() const;

    // The progress of a long sort, for ListRows.
    ListRows::Progress progress();

private:
    bool step(std::size_t done, std::size_t total);
    void finish();

    BrowseWindow& list_;
    QElapsedTimer running_;
    qint64 lastLook_ = 0;
    bool busy_ = false;
    QPointer<QProgressDialog> dialog_;
};

} // namespace tessaly::gui

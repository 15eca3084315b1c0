#pragma once

#include "bookmarks/list_rows.h"
#include "bookmarks/list_variant.h"

#include <QAbstractTableModel>

#include <functional>

namespace tessaly::gui {

// The columns of a bookmark list over its rows. A row is a bookmark, or (in
// the keyword and detail lists) a row of its own whose bookmark columns come
// from the bookmark it belongs to.
class BookmarkListModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    // Column numbers of the main bookmark list.
    enum Column {
        Icon,
        Description,
        Location,
        Category,
        Rating,
        Keyword,
        LastVisit,
        LastValidated,
        Comments,
        UserName,
        Password,
        Custom1,
        Custom2,
        Custom3,
        SiteInfo,
        ColumnCount
    };

    // The bookmark a row belongs to.
    using BookmarkOf = std::function<const Record&(const Record& row)>;

    BookmarkListModel(ListRows& rows, std::vector<ListColumn> columns, BookmarkOf bookmarkOf,
                      QObject* parent = nullptr);

    // Reads the rows again (after a change, a new order or a new filter).
    // The rows read again; a failed read (a damaged file) leaves the rows
    // read before it and returns its status.
    EngineStatus reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    // The bookmark of a row.
    const Record& bookmark(int row) const;

private:
    ListRows& rows_;
    std::vector<ListColumn> columns_;
    BookmarkOf bookmarkOf_;
};

} // namespace tessaly::gui

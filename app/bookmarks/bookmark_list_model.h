#pragma once

#include "bookmarks/list_rows.h"

#include <QAbstractTableModel>

namespace tessaly::gui {

// The fifteen columns of the bookmark list over its rows: the validation
// icon, then description, location, category, rating, keyword, the two
// dates, comments, user name, password, the three custom fields and the
// site information, each shown with its picture.
class BookmarkListModel final : public QAbstractTableModel {
    Q_OBJECT

public:
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

    explicit BookmarkListModel(ListRows& rows, QObject* parent = nullptr);

    // Reads the rows again (after a change, a new order or a new filter).
    void reload();

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
};

} // namespace tessaly::gui

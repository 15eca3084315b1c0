#include "bookmarks/bookmark_list_model.h"

#include "core/tables.h"
#include "framework/icons.h"
#include "framework/picture.h"

#include <QMimeData>
#include <QUrl>

namespace tessaly::gui {

namespace {

struct ColumnDef {
    const char* heading;
    const char* picture;
    BookmarkField field;
};

// Heading, picture and field of each column after the icon.
constexpr ColumnDef kColumns[] = {
    {"", "", BookmarkField::Validated},
    {"Description", "@S100", BookmarkField::Description},
    {"Location", "@S255", BookmarkField::Location},
    {"Category", "@S50", BookmarkField::Category},
    {"Rating", "@N2b", BookmarkField::Rating},
    {"Keyword", "@s20", BookmarkField::Keyword},
    {"Last Visit", "@d17", BookmarkField::LastVisit},
    {"Last Validated", "@d17", BookmarkField::LastValidated},
    {"Comments", "@s255", BookmarkField::Comments},
    {"User Name", "@s40", BookmarkField::UserName},
    {"Password", "@s20", BookmarkField::Password},
    {"Custom 1", "@s60", BookmarkField::Custom1},
    {"Custom 2", "@s60", BookmarkField::Custom2},
    {"Custom 3", "@s60", BookmarkField::Custom3},
    {"Site Info", "@s255", BookmarkField::SiteInfo},
};
static_assert(std::size(kColumns) == BookmarkListModel::ColumnCount);

} // namespace

BookmarkListModel::BookmarkListModel(ListRows& rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows)
{}

void BookmarkListModel::reload()
{
    beginResetModel();
    rows_.reload();
    endResetModel();
}

int BookmarkListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int BookmarkListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const Record& BookmarkListModel::bookmark(int row) const
{
    return rows_.at(static_cast<std::size_t>(row));
}

QVariant BookmarkListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const Record& row = bookmark(index.row());
    const ColumnDef& column = kColumns[index.column()];
    if (index.column() == Icon) {
        if (role != Qt::DecorationRole) {
            return {};
        }
        // The icon table: 1 "~blank.ico", 2 "~check.ico", 3 "~redx.ico".
        const std::int64_t validated = row.number(BookmarkField::Validated);
        return themedIcon({}, validated == 1   ? QStringLiteral("check")
                              : validated == 2 ? QStringLiteral("redx")
                                               : QStringLiteral("blank"));
    }
    if (role == Qt::DisplayRole) {
        const int field = static_cast<int>(column.field);
        const std::string shown =
            row.table().isText(field)
                ? format(std::string_view{row.text(field)}, column.picture)
                : format(static_cast<double>(row.number(field)), column.picture);
        return QString::fromStdString(shown);
    }
    if (role == Qt::TextAlignmentRole && index.column() == Rating) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant BookmarkListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount) {
        return {};
    }
    return QString::fromUtf8(kColumns[section].heading);
}

Qt::ItemFlags BookmarkListModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags base = QAbstractTableModel::flags(index);
    return index.isValid() ? base | Qt::ItemIsDragEnabled : base | Qt::ItemIsDropEnabled;
}

QStringList BookmarkListModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list"), QStringLiteral("text/plain")};
}

QMimeData* BookmarkListModel::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty()) {
        return nullptr;
    }
    // A dragged row offers its location.
    const QString location =
        QString::fromStdString(bookmark(indexes.front().row()).text(BookmarkField::Location));
    auto* mime = new QMimeData;
    mime->setUrls({QUrl(location)});
    mime->setText(location);
    return mime;
}

} // namespace tessaly::gui

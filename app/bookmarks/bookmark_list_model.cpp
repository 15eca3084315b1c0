#include "bookmarks/bookmark_list_model.h"

#include "columns/header_preferences.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/icons.h"
#include "framework/picture.h"

#include <QDate>
#include <QMimeData>
#include <QTime>
#include <QUrl>

namespace tessaly::gui {

namespace {

// A cell's value for graphs: dates as dates (a blank one as none), times
// as times, numbers as numbers, the validation icon as its state's name.
QVariant graphValue(const Record& row, const ListColumn& column)
{
    if (column.icon) {
        const std::int64_t state = row.number(column.field);
        return state == 1   ? QStringLiteral("Passed")
               : state == 2 ? QStringLiteral("Failed")
                            : QStringLiteral("Unknown");
    }
    if (row.table().isText(column.field)) {
        return QString::fromStdString(row.text(column.field));
    }
    const std::int64_t number = row.number(column.field);
    switch (Picture::parse(column.picture).kind) {
    case Picture::Kind::Date: {
        const auto day = static_cast<std::int32_t>(number);
        if (number == 0 || !dates::isValidDay(day)) {
            return QDate{};
        }
        const dates::CivilDate date = dates::civilDate(day);
        return QDate(date.year, date.month, date.day);
    }
    case Picture::Kind::Time:
        // Hundredths of a second since midnight, plus one.
        return number <= 0 ? QTime{} : QTime::fromMSecsSinceStartOfDay(int((number - 1) * 10));
    default:
        return QVariant::fromValue<qlonglong>(number);
    }
}

} // namespace

BookmarkListModel::BookmarkListModel(ListRows& rows, std::vector<ListColumn> columns,
                                     BookmarkOf bookmarkOf, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), columns_(std::move(columns)),
      bookmarkOf_(std::move(bookmarkOf))
{}

EngineStatus BookmarkListModel::reload()
{
    beginResetModel();
    const EngineStatus status = rows_.reload();
    endResetModel();
    return status;
}

int BookmarkListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int BookmarkListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

const Record& BookmarkListModel::bookmark(int row) const
{
    return bookmarkOf_(rows_.at(static_cast<std::size_t>(row)));
}

QVariant BookmarkListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const ListColumn& column = columns_[static_cast<std::size_t>(index.column())];
    const Record& own = rows_.at(static_cast<std::size_t>(index.row()));
    const Record& row = column.ofBookmark ? bookmarkOf_(own) : own;
    if (role == kGraphValueRole) {
        return graphValue(row, column);
    }
    if (column.icon) {
        if (role != Qt::DecorationRole) {
            return {};
        }
        // The icon table: 1 "~blank.ico", 2 "~check.ico", 3 "~redx.ico".
        const std::int64_t validated = row.number(column.field);
        return themedIcon({}, validated == 1   ? QStringLiteral("check")
                              : validated == 2 ? QStringLiteral("redx")
                                               : QStringLiteral("blank"));
    }
    if (role == Qt::DisplayRole) {
        const std::string shown =
            row.table().isText(column.field)
                ? format(std::string_view{row.text(column.field)}, column.picture)
                : format(static_cast<double>(row.number(column.field)), column.picture);
        return QString::fromStdString(shown);
    }
    if (role == Qt::TextAlignmentRole && !row.table().isText(column.field)) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant BookmarkListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount()) {
        return {};
    }
    return columns_[static_cast<std::size_t>(section)].heading;
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

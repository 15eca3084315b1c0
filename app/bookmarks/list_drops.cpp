#include "bookmarks/list_drops.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTableView>

namespace tessaly::gui {

ListDrops::ListDrops(QWidget& window, QTableView& table, Dropped dropped)
    : QObject(&window), table_(table), dropped_(std::move(dropped))
{
    window.setAcceptDrops(true);
    table_.setAcceptDrops(true);
    table_.viewport()->setAcceptDrops(true);
    window.installEventFilter(this);
    table_.viewport()->installEventFilter(this);
}

bool ListDrops::accepts(const QDropEvent& event) const
{
    return event.mimeData()->hasUrls() && event.source() != &table_;
}

bool ListDrops::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (accepts(*drag)) {
            drag->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::DragEnter && watched != table_.viewport()) {
            drag->ignore();
            return true;
        }
        break;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!accepts(*drop)) {
            break;
        }
        QStringList paths;
        for (const QUrl& url : drop->mimeData()->urls()) {
            if (url.isLocalFile()) {
                paths << url.toLocalFile();
            }
        }
        dropped_(paths);
        drop->acceptProposedAction();
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tessaly::gui

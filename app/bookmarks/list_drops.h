#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QDropEvent;
class QTableView;
class QWidget;

namespace tessaly::gui {

// Shortcut files dropped on a bookmark list, on its rows or around them,
// handed over as paths. A row dragged inside the list is no shortcut; the
// view's own drop handling would take the files and throw them away.
class ListDrops final : public QObject {
    Q_OBJECT

public:
    using Dropped = std::function<void(const QStringList& paths)>;

    ListDrops(QWidget& window, QTableView& table, Dropped dropped);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool accepts(const QDropEvent& event) const;

    QTableView& table_;
    Dropped dropped_;
};

} // namespace tessaly::gui

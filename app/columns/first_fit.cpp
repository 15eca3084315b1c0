#include "columns/first_fit.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace tessaly::gui {

namespace {

// One column never takes more of the list than this: an address of some
// thousand characters would push every other column out of sight.
constexpr double kMostShare = 0.45;

// Waits for the view's first showing with rows (a list held to a category
// may show none until one is chosen), then fits once and goes.
class FirstShowFit final : public QObject {
public:
    explicit FirstShowFit(QTableView& view) : QObject(&view), view_(view)
    {
        view.installEventFilter(this);
        if (QAbstractItemModel* model = view.model()) {
            connect(model, &QAbstractItemModel::modelReset, this, &FirstShowFit::fitWhenReady);
            connect(model, &QAbstractItemModel::rowsInserted, this, &FirstShowFit::fitWhenReady);
            connect(model, &QAbstractItemModel::layoutChanged, this, &FirstShowFit::fitWhenReady);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &view_ && event->type() == QEvent::Show) {
            fitWhenReady();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void fitWhenReady()
    {
        if (scheduled_ || !view_.isVisible() || view_.model() == nullptr ||
            view_.model()->rowCount() == 0) {
            return;
        }
        scheduled_ = true;
        // After the layouts have given the view its size and the rows in
        // sight have been read.
        QTimer::singleShot(0, this, [this] {
            fitColumns(view_);
            view_.removeEventFilter(this);
            deleteLater();
        });
    }

    QTableView& view_;
    bool scheduled_ = false;
};

// QTableView keeps this measure to itself; every item view answers it.
int contentsWidth(const QAbstractItemView& view, int column)
{
    return view.sizeHintForColumn(column);
}

} // namespace

void fitColumns(QTableView& view)
{
    QHeaderView* header = view.horizontalHeader();
    const int most = std::max(static_cast<int>(view.viewport()->width() * kMostShare),
                              header->defaultSectionSize());
    for (int logical = 0; logical < header->count(); ++logical) {
        if (header->isSectionHidden(logical)) {
            continue;
        }
        const int fitted = std::max(header->sectionSizeHint(logical),
                                    std::min(contentsWidth(view, logical), most));
        header->resizeSection(logical, fitted);
    }
}

void fitColumnsWhenShown(QTableView& view)
{
    new FirstShowFit(view);
}

} // namespace tessaly::gui

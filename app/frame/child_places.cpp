#include "frame/child_places.h"

#include "core/position_store.h"
#include "framework/picture.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

namespace tessaly::gui {

namespace {

// Writes a child window's place when it closes.
class PlaceKeeper final : public QObject {
public:
    PlaceKeeper(QMdiSubWindow& window, PositionStore& positions, std::string section)
        : QObject(&window), window_(window), positions_(positions), section_(std::move(section))
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window_ && event->type() == QEvent::Close && !window_.isMinimized()) {
            const QRect place =
                window_.isMaximized() ? window_.normalGeometry() : window_.geometry();
            if (place.isValid()) {
                positions_.setValue(section_, "X", std::to_string(place.x()));
                positions_.setValue(section_, "Y", std::to_string(place.y()));
                positions_.setValue(section_, "Width", std::to_string(place.width()));
                positions_.setValue(section_, "Height", std::to_string(place.height()));
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QMdiSubWindow& window_;
    PositionStore& positions_;
    std::string section_;
};

} // namespace

void placeChildWindow(QMdiArea& area, QMdiSubWindow& window, PositionStore& positions,
                      const std::string& section, QSize preferred)
{
    const auto number = [&](const char* key) {
        return parseNumber(positions.value(section, key));
    };
    const auto x = number("X");
    const auto y = number("Y");
    const auto width = number("Width");
    const auto height = number("Height");
    QSize size =
        width && height ? QSize(static_cast<int>(*width), static_cast<int>(*height)) : preferred;
    const QSize visible = area.viewport()->size();
    // All controls shown first; then as much inside the area as that leaves.
    size = size.boundedTo(visible).expandedTo(window.minimumSizeHint());
    QPoint place = x && y ? QPoint(static_cast<int>(*x), static_cast<int>(*y)) : QPoint(0, 0);
    place.setX(std::clamp(place.x(), 0, std::max(visible.width() - size.width(), 0)));
    place.setY(std::clamp(place.y(), 0, std::max(visible.height() - size.height(), 0)));
    window.resize(size);
    window.move(place);
    new PlaceKeeper(window, positions, section);
}

void arrangeIcons(QMdiArea& area)
{
    // Minimised windows in a row along the bottom of the area, left to right.
    int x = 0;
    const int bottom = area.viewport()->height();
    for (QMdiSubWindow* window : area.subWindowList()) {
        if (window->isMinimized()) {
            const QSize size = window->size();
            if (x > 0 && x + size.width() > area.viewport()->width()) {
                x = 0;
            }
            window->move(x, bottom - size.height());
            x += size.width();
        }
    }
}

} // namespace tessaly::gui

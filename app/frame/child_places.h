#pragma once

#include <QSize>

#include <string>

class QMdiArea;
class QMdiSubWindow;

namespace tessaly {
class PositionStore;
}

namespace tessaly::gui {

// Opens `window` in `area` at the place and size kept in `positions` under
// `section` (keys "X", "Y", "Width" and "Height"), else at `preferred`. The
// size is never below what shows all the window's controls, and the window
// is moved and shrunk to lie inside the area's visible part as far as that
// allows; the area scrolls to the rest. The place is kept again when the
// window closes, as it does at File > Exit.
void placeChildWindow(QMdiArea& area, QMdiSubWindow& window, PositionStore& positions,
                      const std::string& section, QSize preferred);

// Minimised windows of `area` in a row along its bottom, left to right.
void arrangeIcons(QMdiArea& area);

} // namespace tessaly::gui

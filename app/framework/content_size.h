#pragma once

#include <QRect>
#include <QSize>
#include <QStringList>

class QWidget;

namespace tessaly::gui {

// The part of the screen `widget` opens on that windows may use (the
// primary screen's while it is on none yet).
QRect availableScreen(const QWidget* widget);

// `wanted`, cut to what the screen `widget` opens on can show.
QSize withinScreen(const QWidget* widget, QSize wanted);

// The frame's size at its first start: a share of the screen's free part,
// never less than `least` where the screen has room for it.
QSize firstFrameSize(const QRect& available, QSize least);

// The width a combo box needs to show the widest of `items` whole, as a
// column that holds such boxes should be.
int comboWidth(const QWidget* parent, const QStringList& items);

} // namespace tessaly::gui

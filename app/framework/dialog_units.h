#pragma once

#include <QFontMetrics>
#include <QSize>
#include <QWidget>

namespace tessaly::gui {

// Sizes given in dialog units, as the windows were laid out: a horizontal
// unit is a quarter of the font's average character width, a vertical unit
// an eighth of its height.
inline QSize fromDialogUnits(const QWidget* widget, int width, int height)
{
    const QFontMetrics metrics = widget->fontMetrics();
    return {width * metrics.averageCharWidth() / 4, height * metrics.height() / 8};
}

} // namespace tessaly::gui

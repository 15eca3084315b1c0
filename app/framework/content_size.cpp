#include "framework/content_size.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tessaly::gui {

namespace {

// What the frame takes of a screen at its first start: room for its lists
// and forms, with the desktop still in sight around it.
constexpr double kFrameShare = 0.8;

} // namespace

QRect availableScreen(const QWidget* widget)
{
    const QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QSize withinScreen(const QWidget* widget, QSize wanted)
{
    return wanted.boundedTo(availableScreen(widget).size());
}

QSize firstFrameSize(const QRect& available, QSize least)
{
    const QSize share(static_cast<int>(available.width() * kFrameShare),
                      static_cast<int>(available.height() * kFrameShare));
    return share.expandedTo(least).boundedTo(available.size());
}

int comboWidth(const QWidget* parent, const QStringList& items)
{
    QComboBox probe;
    if (parent != nullptr) {
        probe.setFont(parent->font());
    }
    probe.addItems(items);
    probe.setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return probe.sizeHint().width();
}

} // namespace tessaly::gui

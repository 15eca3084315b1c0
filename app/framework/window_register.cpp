#include "framework/window_register.h"

#include <QMdiSubWindow>

namespace tessaly::gui {

WindowRegister& WindowRegister::instance()
{
    static WindowRegister registry;
    return registry;
}

QWidget* WindowRegister::find(const QString& name) const
{
    const auto found = windows_.find(name);
    return found == windows_.end() ? nullptr : found->second.data();
}

bool WindowRegister::activate(const QString& name)
{
    QWidget* window = find(name);
    if (window == nullptr) {
        return false;
    }
    // A list lives in an MDI child (perhaps inside another window): bring
    // that forward, restored.
    QWidget* frame = window;
    for (QWidget* up = window->parentWidget(); up != nullptr; up = up->parentWidget()) {
        if (qobject_cast<QMdiSubWindow*>(up) != nullptr) {
            frame = up;
            break;
        }
    }
    if (frame->isMinimized()) {
        frame->showNormal();
    }
    frame->show();
    frame->raise();
    frame->activateWindow();
    window->setFocus();
    return true;
}

void WindowRegister::add(const QString& name, QWidget* window)
{
    windows_[name] = window;
    connect(window, &QObject::destroyed, this, [this, name] {
        const auto found = windows_.find(name);
        if (found != windows_.end() && found->second.isNull()) {
            windows_.erase(found);
        }
    });
}

void WindowRegister::add(const QString& name, QWidget* window, std::function<void()> reload)
{
    add(name, window);
    connect(this, &WindowRegister::refreshRequested, window,
            [window, reload = std::move(reload)](const QString& target) {
                if (target == window->objectName()) {
                    reload();
                }
            });
}

void WindowRegister::notifyBrowseWindows()
{
    for (const auto& [name, window] : windows_) {
        if (window != nullptr && name.toUpper().contains(QStringLiteral("BROWSE"))) {
            Q_EMIT refreshRequested(name);
        }
    }
    Q_EMIT browseWindowsNotified();
}

} // namespace tessaly::gui

#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

namespace tessaly::gui {

// The icon in the system tray with its popup menu. A desktop without a tray
// is a normal state: the icon waits and shows as soon as a tray appears, and
// shows again when the tray host restarts.
class TrayIcon final : public QObject {
    Q_OBJECT

public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    // Adds the icon to the tray (now, or when a tray appears).
    void show();
    void remove();
    // True while the icon sits in a tray that exists.
    bool isInTray() const;

    QMenu* popup() { return &popup_; }
    QAction* addNewUrlAction() const { return addNewUrl_; }
    QSystemTrayIcon* systemTrayIcon() { return &icon_; }

Q_SIGNALS:
    void restoreRequested();
    void addNewUrlRequested();
    void helpRequested();
    void exitRequested();

private:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void watchTray();

    QSystemTrayIcon icon_;
    QMenu popup_;
    QAction* addNewUrl_ = nullptr;
    QTimer trayWatch_;
    bool wanted_ = false;
    bool trayWasAvailable_ = false;
};

} // namespace tessaly::gui

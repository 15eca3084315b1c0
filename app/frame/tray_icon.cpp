#include "frame/tray_icon.h"

#include "framework/icons.h"

namespace tessaly::gui {

TrayIcon::TrayIcon(QObject* parent) : QObject(parent)
{
    icon_.setIcon(programIcon());
    icon_.setToolTip(QStringLiteral("Tessaly 2000"));
    addNewUrl_ = popup_.addAction(themedIcon({}, QStringLiteral("add_url")),
                                  QStringLiteral("Add New URL..."));
    addNewUrl_->setObjectName(QStringLiteral("AddNewURL"));
    popup_.addSeparator();
    QAction* restore =
        popup_.addAction(themedIcon(QStringLiteral("view-restore"), QStringLiteral("restore")),
                         QStringLiteral("Restore"));
    popup_.addSeparator();
    QAction* help =
        popup_.addAction(themedIcon(QStringLiteral("help-contents"), QStringLiteral("help")),
                         QStringLiteral("Help"));
    popup_.addSeparator();
    QAction* exit =
        popup_.addAction(themedIcon(QStringLiteral("application-exit"), QStringLiteral("exit")),
                         QStringLiteral("E&xit"));
    connect(addNewUrl_, &QAction::triggered, this, &TrayIcon::addNewUrlRequested);
    connect(restore, &QAction::triggered, this, &TrayIcon::restoreRequested);
    connect(help, &QAction::triggered, this, &TrayIcon::helpRequested);
    connect(exit, &QAction::triggered, this, &TrayIcon::exitRequested);
    icon_.setContextMenu(&popup_);
    connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
    // A tray that appears late, or a tray host that restarts, is noticed here.
    trayWatch_.setInterval(2000);
    connect(&trayWatch_, &QTimer::timeout, this, &TrayIcon::watchTray);
}

TrayIcon::~TrayIcon()
{
    icon_.setContextMenu(nullptr);
}

void TrayIcon::show()
{
    wanted_ = true;
    trayWasAvailable_ = QSystemTrayIcon::isSystemTrayAvailable();
    icon_.show();
    trayWatch_.start();
}

void TrayIcon::remove()
{
    wanted_ = false;
    trayWatch_.stop();
    icon_.hide();
}

bool TrayIcon::isInTray() const
{
    return wanted_ && icon_.isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::watchTray()
{
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (wanted_ && available && !trayWasAvailable_) {
        icon_.hide(); // dock again in the new tray
        icon_.show();
    }
    trayWasAvailable_ = available;
}

void TrayIcon::activated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick) {
        Q_EMIT restoreRequested();
    }
    // A right click opens the context menu by itself; a single left click
    // does nothing.
}

} // namespace tessaly::gui

#include "framework/lock_wait_cursor.h"

#include "core/sqlite.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>

namespace tessaly::gui {

namespace {

void lockWaitStarted()
{
    auto* application = QCoreApplication::instance();
    if (application == nullptr || QThread::currentThread() != application->thread()) {
        return;
    }
    QGuiApplication::setOverrideCursor(QCursor{Qt::WaitCursor});
    // The wait blocks the event loop: hand the cursor to the display now.
    QGuiApplication::sync();
    QTimer::singleShot(0, application, [] { QGuiApplication::restoreOverrideCursor(); });
}

} // namespace

void showBusyCursorWhileLocked()
{
    sql::setLockWaitObserver(&lockWaitStarted);
}

} // namespace tessaly::gui

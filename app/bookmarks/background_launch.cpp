#include "bookmarks/background_launch.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace tessaly::gui {

void launchInBackground(const std::string& target, Opener& opener, UiPort& ui, QObject* context,
                        std::function<void(bool started)> done)
{
    auto* watcher = new QFutureWatcher<int>(context);
    QObject::connect(watcher, &QFutureWatcher<int>::finished, context,
                     [watcher, target, &ui, done = std::move(done)] {
                         const int result = watcher->result();
                         watcher->deleteLater();
                         if (result < 32) {
                             ui.showMessage(launchFailure(target, result));
                         }
                         if (done) {
                             done(result >= 32);
                         }
                     });
    watcher->setFuture(
        QtConcurrent::run([target, &opener] { return tryLaunch(target, {}, opener); }));
}

} // namespace tessaly::gui

#include "framework/worker_database.h"

#include "core/database.h"
#include "core/services.h"

#include <QEventLoop>
#include <QThread>

#include <memory>

namespace tessaly::gui {

void runWithWorkerDatabase(Services& services, const std::function<void(Database&)>& work)
{
    UiPort& ui = services.messages().ui();
    const std::string folder = services.folderPath(".");
    std::unique_ptr<QThread> worker{QThread::create([&] {
        MessageManager messages{ui};
        Database database{messages, folder};
        work(database);
        database.closeAll();
    })};
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
}

} // namespace tessaly::gui

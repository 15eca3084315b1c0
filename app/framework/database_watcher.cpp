#include "framework/database_watcher.h"

#include "framework/window_register.h"

#include <sys/stat.h>

namespace tessaly::gui {

DatabaseWatcher::DatabaseWatcher(std::vector<std::string> paths, QObject* parent)
    : QObject(parent), paths_(std::move(paths))
{
    connect(&timer_, &QTimer::timeout, this, &DatabaseWatcher::poll);
}

void DatabaseWatcher::start(int intervalMs)
{
    takeCurrent();
    timer_.start(intervalMs);
}

void DatabaseWatcher::takeCurrent()
{
    seen_ = stamp();
    applied_ = seen_;
}

void DatabaseWatcher::poll()
{
    const std::string now = stamp();
    if (now != seen_) {
        seen_ = now; // still changing, perhaps: wait for the next look
        return;
    }
    if (now != applied_) {
        applied_ = now;
        Q_EMIT changed();
    }
}

std::string DatabaseWatcher::stamp() const
{
    std::string out;
    for (const std::string& path : paths_) {
        for (const std::string& file : {path, path + "-wal"}) {
            struct stat st {};
            if (::stat(file.c_str(), &st) != 0) {
                out += "-;";
                continue;
            }
            out += std::to_string(st.st_ino) + ':' + std::to_string(st.st_size) + ':' +
                   std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec) +
                   ';';
        }
    }
    return out;
}

DatabaseWatcher* watchForLists(std::vector<std::string> paths, QObject* parent)
{
    auto* watcher = new DatabaseWatcher(std::move(paths), parent);
    WindowRegister& windows = WindowRegister::instance();
    QObject::connect(watcher, &DatabaseWatcher::changed, &windows,
                     &WindowRegister::notifyBrowseWindows);
    QObject::connect(&windows, &WindowRegister::browseWindowsNotified, watcher,
                     &DatabaseWatcher::takeCurrent);
    watcher->start();
    return watcher;
}

} // namespace tessaly::gui

#pragma once

#include <QObject>
#include <QTimer>

#include <string>
#include <vector>

namespace tessaly::gui {

// Notices that the database files changed, whoever changed them: another
// program's batch (an import or a validation run from the command line) as
// well as a change of ours that was not announced. It looks at each file's
// size and time of change (and at its write-ahead log's) on a timer, which
// costs a few system calls when nothing changed, and tells once the files
// have stood still for one look, so that a long batch refreshes the lists
// when it ends rather than at each of its writes.
class DatabaseWatcher final : public QObject {
    Q_OBJECT

public:
    // `paths`: the database files to watch.
    explicit DatabaseWatcher(std::vector<std::string> paths, QObject* parent = nullptr);

    void start(int intervalMs = 500);
    void stop() { timer_.stop(); }
    // The files as they stand count as seen: the change was announced by
    // whoever made it.
    void takeCurrent();
    // One look, as the timer takes it.
    void poll();

Q_SIGNALS:
    void changed();

private:
    std::string stamp() const;

    std::vector<std::string> paths_;
    QTimer timer_;
    std::string seen_;
    std::string applied_;
};

// A started watcher of `paths` whose changes reach every open list through
// the refresh notice, and which takes the files as seen whenever that
// notice goes out, so that a change the program announced is not read twice.
DatabaseWatcher* watchForLists(std::vector<std::string> paths, QObject* parent);

} // namespace tessaly::gui

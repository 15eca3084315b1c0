#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>

namespace tessaly::gui {

// The open-window register: window name -> window. It keeps list windows
// single (a second opening brings the first to the front) and carries the
// refresh notice to every window whose name contains "BROWSE".
class WindowRegister final : public QObject {
    Q_OBJECT

public:
    static WindowRegister& instance();

    // Brings the window of that name to the front and returns true when one
    // is open.
    bool activate(const QString& name);
    // Enters a window; it leaves the register when it is destroyed.
    void add(const QString& name, QWidget* window);
    // The same for a window that reloads on the refresh notice sent to it.
    void add(const QString& name, QWidget* window, std::function<void()> reload);
    QWidget* find(const QString& name) const;

    // Asks every registered window whose name contains "BROWSE" (letter case
    // ignored) to reload.
    void notifyBrowseWindows();
    // Asks the frame to open the bookmark list on the bookmarks a run marked
    // failed on `day` ("Show failed" at a run's account).
    void requestFailedList(int day) { Q_EMIT failedListRequested(day); }

Q_SIGNALS:
    void failedListRequested(int day);
    // Received by the windows that reload on the refresh notice.
    void refreshRequested(const QString& name);
    // The refresh notice went out: the lists show the files as they stand.
    void browseWindowsNotified();

private:
    std::map<QString, QPointer<QWidget>> windows_;
};

} // namespace tessaly::gui

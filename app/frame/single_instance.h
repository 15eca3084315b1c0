#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <vector>

class QLocalSocket;

namespace tessaly::gui {

// One program per data folder: a second start hands its addresses to the
// program already running on the folder through a local socket and ends,
// as a desktop's "open with" or a second click in the menu expects.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class Start {
        First,      // none was running: this program listens now
        HandedOver, // the running program took the addresses
        NoAnswer,   // one listens but did not take them in time
    };

    // `socketPath`: where the program of the data folder listens.
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket of the data folder `folder`: in $XDG_RUNTIME_DIR (else in
    // the folder itself, which only its owner may enter), named after the
    // folder's canonical path, so that programs on other folders run side
    // by side.
    static QString socketPathFor(const QString& folder);

    // Hands `addresses` (none: only bring the frame forward) to the program
    // listening at the socket and waits up to `wait` for its answer; when
    // none listens, listens there itself. A lock beside the socket keeps two
    // programs started at once from both listening.
    Start start(const QStringList& addresses,
                std::chrono::milliseconds wait = std::chrono::seconds(5));

    bool listening() const { return server_.isListening(); }

    // Where the addresses handed over by later starts go, in the order they
    // came; those that came before there was a receiver go at once.
    void setReceiver(std::function<void(const QStringList&)> receiver);

private:
    void accept();
    void read(QLocalSocket* socket);
    void deliver(const QStringList& addresses);

    QString path_;
    QLocalServer server_;
    std::function<void(const QStringList&)> receiver_;
    std::vector<QStringList> waiting_;
};

} // namespace tessaly::gui

#include "frame/single_instance.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <QUrl>

#include <optional>
#include <utility>

namespace tessaly::gui {

namespace {

// "TESSALY-OPEN <count>\n", then each address percent-encoded on a line of
// its own; the running program answers "OK\n" once it has them all.
constexpr char kRequest[] = "TESSALY-OPEN ";
constexpr char kAnswer[] = "OK\n";
// Bounds on what a connection may send before it is dropped.
constexpr qint64 kMaxRequestBytes = 4 * 1024 * 1024;
constexpr int kMaxAddresses = 10000;
// A later start sends its whole request at once; a connection that stops
// half-way is not one, and must not hold its socket for the whole run.
constexpr int kRequestTimeoutMs = 5000;

QByteArray encodeRequest(const QStringList& addresses)
{
    QByteArray request = kRequest + QByteArray::number(addresses.size()) + '\n';
    for (const QString& address : addresses) {
        request += QUrl::toPercentEncoding(address) + '\n';
    }
    return request;
}

// The addresses of a whole request in `bytes`; nothing while it is
// incomplete. `malformed` is set when the bytes can never make one.
std::optional<QStringList> decodeRequest(const QByteArray& bytes, bool& malformed)
{
    malformed = false;
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast(); // what follows the last line break, if anything
    if (lines.isEmpty()) {
        return std::nullopt;
    }
    bool ok = false;
    const int count = lines.front().startsWith(kRequest)
                          ? lines.front().mid(int(sizeof kRequest) - 1).toInt(&ok)
                          : 0;
    if (!ok || count < 0 || count > kMaxAddresses) {
        malformed = true;
        return std::nullopt;
    }
    if (lines.size() < count + 1) {
        return std::nullopt;
    }
    QStringList addresses;
    for (int i = 1; i <= count; ++i) {
        addresses << QUrl::fromPercentEncoding(lines[i]);
    }
    return addresses;
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), path_(std::move(socketPath))
{
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance()
{
    server_.close();
}

QString SingleInstance::socketPathFor(const QString& folder)
{
    QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty()) {
        canonical = QFileInfo(folder).absoluteFilePath();
    }
    const QByteArray key =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    QString place = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (place.isEmpty() || !QFileInfo(place).isDir()) {
        place = canonical;
    }
    return QDir(place).filePath(QStringLiteral("tessaly-") + QString::fromLatin1(key) +
                                QStringLiteral(".socket"));
}

SingleInstance::Start SingleInstance::start(const QStringList& addresses,
                                            std::chrono::milliseconds wait)
{
    QLockFile lock(path_ + QStringLiteral(".lock"));
    // Without the lock (a folder that cannot be written) the program still
    // starts; only two started in the same instant could both listen.
    const bool locked = lock.tryLock(wait);
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (socket.waitForConnected(static_cast<int>(wait.count()))) {
        socket.write(encodeRequest(addresses));
        QByteArray answer;
        while (answer.size() < qsizetype(sizeof kAnswer) - 1 &&
               socket.waitForReadyRead(static_cast<int>(wait.count()))) {
            answer += socket.readAll();
        }
        return answer.startsWith(kAnswer) ? Start::HandedOver : Start::NoAnswer;
    }
    if (locked || !QFileInfo::exists(path_)) {
        // A socket left by a program that was killed answers nobody.
        QLocalServer::removeServer(path_);
        if (!server_.listen(path_)) {
            // The program runs all the same; a later start then opens a
            // frame of its own instead of handing its addresses over.
            qWarning("tessaly: addresses of later starts cannot be taken: %s",
                     qPrintable(server_.errorString()));
        }
    }
    return Start::First;
}

void SingleInstance::setReceiver(std::function<void(const QStringList&)> receiver)
{
    receiver_ = std::move(receiver);
    for (const QStringList& addresses : std::exchange(waiting_, {})) {
        QTimer::singleShot(0, this, [this, addresses] { deliver(addresses); });
    }
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        QTimer::singleShot(kRequestTimeoutMs, socket, [socket] {
            if (socket->state() == QLocalSocket::ConnectedState && socket->bytesToWrite() == 0) {
                socket->abort();
            }
        });
        read(socket);
    }
}

void SingleInstance::read(QLocalSocket* socket)
{
    const QByteArray bytes = socket->peek(kMaxRequestBytes + 1);
    bool malformed = false;
    const std::optional<QStringList> addresses = decodeRequest(bytes, malformed);
    if (malformed || (!addresses && bytes.size() > kMaxRequestBytes)) {
        socket->abort();
        return;
    }
    if (!addresses) {
        return; // the rest is still on its way
    }
    socket->readAll();
    socket->write(kAnswer);
    socket->flush();
    socket->disconnectFromServer();
    // The wizard is modal: it opens from the event loop, not inside this
    // connection's signal.
    QTimer::singleShot(0, this, [this, taken = *addresses] { deliver(taken); });
}

void SingleInstance::deliver(const QStringList& addresses)
{
    if (receiver_) {
        receiver_(addresses);
    } else {
        waiting_.push_back(addresses);
    }
}

} // namespace tessaly::gui

#pragma once

#include "platform/secret_store.h"
#include "webdav/webdav_sync.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <map>
#include <optional>
#include <string>

namespace tessaly {
class Services;
}

namespace tessaly::gui {

// Runs the syncs of the program: on request from the "Synchronise" window
// and, while the program runs, every interval set there. Keeps the last
// account, and the password for this run when no secret store is there to
// keep it. One sync at a time; a sync runs on a worker with a database
// connection of its own while the windows stay served.
class SyncScheduler final : public QObject {
    Q_OBJECT

public:
    SyncScheduler(Services& services, SecretStore& secrets, QObject* parent = nullptr);

    SyncServerSettings settings() const;
    // Keeps the settings in TESSLY.INI and puts the interval in force;
    // false with the system's words in `error` when they cannot be kept.
    bool saveSettings(const SyncServerSettings& settings, std::string& error);

    bool secretStoreAvailable() { return secrets_.available(); }
    // The password known for the server and user: the secret store's, or
    // the one given in this run.
    std::optional<std::string> password(const std::string& url, const std::string& user);
    // Keeps a password that worked: in the secret store, else for this run.
    void rememberPassword(const std::string& url, const std::string& user,
                          const std::string& password);

    WebDavSyncResult syncNow(const DavAccount& account);
    bool testConnection(const DavAccount& account, std::string& words);
    bool busy() const { return busy_; }

    // The account of the last sync in this run, or its failure, with when.
    const QString& lastAccount() const { return lastAccount_; }
    QTimer& timer() { return timer_; }

Q_SIGNALS:
    void synchronised(const QString& account);

private:
    void syncOnTimer();

    Services& services_;
    SecretStore& secrets_;
    QTimer timer_;
    bool busy_ = false;
    QString lastAccount_;
    std::map<std::string, std::string> passwordsThisRun_; // url + "\n" + user
};

} // namespace tessaly::gui

#include "sync/sync_scheduler.h"

#include "core/services.h"
#include "framework/window_register.h"
#include "framework/worker_database.h"

#include <QDateTime>

namespace tessaly::gui {

namespace {

std::string key(const std::string& url, const std::string& user)
{
    return url + "\n" + user;
}

} // namespace

SyncScheduler::SyncScheduler(Services& services, SecretStore& secrets, QObject* parent)
    : QObject(parent), services_(services), secrets_(secrets)
{
    connect(&timer_, &QTimer::timeout, this, &SyncScheduler::syncOnTimer);
    const int minutes = settings().intervalMinutes;
    if (minutes > 0) {
        timer_.start(minutes * 60 * 1000);
    }
}

SyncServerSettings SyncScheduler::settings() const
{
    return loadSyncSettings(services_.folderPath("TESSLY.INI"));
}

bool SyncScheduler::saveSettings(const SyncServerSettings& settings, std::string& error)
{
    if (settings.intervalMinutes > 0) {
        timer_.start(settings.intervalMinutes * 60 * 1000);
    } else {
        timer_.stop();
    }
    return saveSyncSettings(settings, services_.folderPath("TESSLY.INI"), error);
}

std::optional<std::string> SyncScheduler::password(const std::string& url, const std::string& user)
{
    if (const auto found = passwordsThisRun_.find(key(url, user));
        found != passwordsThisRun_.end()) {
        return found->second;
    }
    return secrets_.lookup(url, user);
}

void SyncScheduler::rememberPassword(const std::string& url, const std::string& user,
                                     const std::string& password)
{
    if (!secrets_.store(url, user, password)) {
        passwordsThisRun_[key(url, user)] = password;
    }
}

WebDavSyncResult SyncScheduler::syncNow(const DavAccount& account)
{
    WebDavSyncResult result;
    if (busy_) {
        result.message = "A sync is running already";
        return result;
    }
    busy_ = true;
    runWithWorkerDatabase(services_,
                          [&](Database& database) { result = syncWithServer(database, account); });
    busy_ = false;
    const QString when = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    lastAccount_ = when + QStringLiteral(": ") + QString::fromStdString(result.message).trimmed();
    if (result.ok) {
        WindowRegister::instance().notifyBrowseWindows();
    }
    Q_EMIT synchronised(lastAccount_);
    return result;
}

bool SyncScheduler::testConnection(const DavAccount& account, std::string& words)
{
    bool reached = false;
    runWithWorkerDatabase(services_,
                          [&](Database&) { reached = testServerConnection(account, words); });
    return reached;
}

// Only with everything known: an automatic sync never asks anything.
void SyncScheduler::syncOnTimer()
{
    const SyncServerSettings current = settings();
    if (busy_ || current.url.empty()) {
        return;
    }
    DavAccount account{current.url, current.user, {}, current.file};
    if (!account.user.empty()) {
        const auto known = password(account.folderUrl, account.user);
        if (!known) {
            return;
        }
        account.password = *known;
    }
    syncNow(account);
}

} // namespace tessaly::gui

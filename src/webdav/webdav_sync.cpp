#include "webdav/webdav_sync.h"

#include "framework/ini_file.h"

#include <algorithm>
#include <cstdlib>

#include <optional>
#include <thread>

namespace tessaly {

namespace {

constexpr std::string_view kSection = "Sync";

// ReadAgain: someone else wrote the file meanwhile; read what is there
// and merge again.
enum class Written { Yes, ReadAgain, Failed };

// The address that keys the sync state: the file's, without the user.
std::string targetOf(const WebDavClient& client)
{
    return client.fileUrl(client.account().file);
}

// The ETag of the file as we wrote it, which the next sync compares to
// skip a commit that would change nothing. The write's answer names it
// when the server sends a strong one; else the file's head is asked, and
// its tag taken when its length is ours. Nothing more is needed to be
// sure: the next sync reads and merges the file whole whatever the tag,
// so the tag of a file someone else wrote just after ours costs only that
// commit, where reading the file again would cost a download of it after
// every write.
std::string etagOfOurFile(WebDavClient& client, const DavAnswer& written, std::string_view bytes)
{
    if (!written.etag.empty() && !isWeakEtag(written.etag)) {
        return written.etag;
    }
    const DavAnswer now = client.head(client.account().file);
    const bool ours = now.status == 200 && now.length >= 0 &&
                      static_cast<std::size_t>(now.length) == bytes.size();
    return ours ? strongEtag(now.etag) : std::string{};
}

// The condition that keeps a write from replacing a file someone else
// wrote after our read; nothing when the file is to be read again first.
std::optional<DavCondition> writeCondition(WebDavClient& client, const ServerFile& read)
{
    if (!read.exists) {
        return DavCondition::ifAbsent();
    }
    if (!read.etag.empty()) {
        return DavCondition::ifMatch(read.etag);
    }
    // No ETag: no condition can hold the write (If-Unmodified-Since goes
    // by whole seconds, and a common WebDAV module judges it by the time of
    // the request, refusing every write). So the file must still be the
    // bytes read, read again just before it goes: only the moment between
    // the two requests is left to another writer. A read that fails here
    // fails again at the next round's read, which says why.
    const DavAnswer again = client.get(client.account().file, XbelDocument::kLargestFile);
    if (again.status != 200 || again.body != read.bytes) {
        return std::nullopt;
    }
    return DavCondition::none();
}

// Writes the plan's file over the one read. A 412 right after a write may
// be only the server's weak tag for a fresh file: after it settles, the
// same tag means the same file and the write is tried again.
Written writeFile(WebDavClient& client, const ServerFile& read, const std::string& bytes,
                  const WebDavSyncOptions& options, std::string& newEtag, DavAnswer& failure)
{
    const std::string& name = client.account().file;
    const std::optional<DavCondition> condition = writeCondition(client, read);
    if (!condition) {
        return Written::ReadAgain;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DavAnswer written = client.put(name, bytes, *condition);
        if (written.ok()) {
            newEtag = etagOfOurFile(client, written, bytes);
            return Written::Yes;
        }
        if (written.status != 412) {
            failure = written;
            return Written::Failed;
        }
        if (condition->kind != DavCondition::Kind::IfMatch) {
            return Written::ReadAgain; // someone made or wrote the file meanwhile
        }
        // At random past the settle time: another writer that met the
        // same fresh file must not write again in step with us.
        std::this_thread::sleep_for(randomisedWait(options.settleWait));
        const DavAnswer now = client.head(name);
        if (!now.ok() || strongEtag(now.etag) != read.etag) {
            return Written::ReadAgain;
        }
    }
    failure.status = 412;
    return Written::Failed;
}

WebDavSyncResult failed(std::string message)
{
    WebDavSyncResult result;
    result.message = std::move(message);
    return result;
}

} // namespace

std::string syncSettingsRefusal(const SyncServerSettings& settings)
{
    if (settings.url.empty()) {
        return "Give the address of the server's folder.";
    }
    if (settings.url.find_first_of("?#") != std::string::npos) {
        return "The folder's address may hold no \"?\" or \"#\".";
    }
    const std::string& file = settings.file;
    const bool control = std::any_of(file.begin(), file.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20U || c == 0x7F;
    });
    if (file.empty() || file == "." || file == ".." || control ||
        file.find('/') != std::string::npos) {
        return "Give the name of a file in the folder, without a \"/\" (not \".\" or \"..\").";
    }
    return {};
}

SyncServerSettings loadSyncSettings(const std::string& iniPath)
{
    SyncServerSettings settings;
    IniFile ini;
    ini.load(iniPath); // a file that cannot be read holds no server: the defaults stand
    settings.url = ini.value(kSection, "Url").value_or("");
    settings.user = ini.value(kSection, "User").value_or("");
    settings.file = ini.value(kSection, "File").value_or(settings.file);
    if (settings.file.empty()) {
        settings.file = "bookmarks.xbel";
    }
    const std::string minutes = ini.value(kSection, "IntervalMinutes").value_or("0");
    settings.intervalMinutes = std::clamp(std::atoi(minutes.c_str()), 0, 24 * 60);
    return settings;
}

// One read and one write of the file, so the four keys change together or
// not at all (a write that failed half-way left a new address with the
// old user).
bool saveSyncSettings(const SyncServerSettings& settings, const std::string& iniPath,
                      std::string& error)
{
    IniFile ini;
    if (!ini.load(iniPath, &error)) {
        return false;
    }
    ini.setValue(kSection, "Url", settings.url);
    ini.setValue(kSection, "User", settings.user);
    ini.setValue(kSection, "File", settings.file);
    ini.setValue(kSection, "IntervalMinutes", std::to_string(settings.intervalMinutes));
    return ini.save(iniPath, &error);
}

WebDavSyncResult syncWithServer(Database& database, const DavAccount& account,
                                const WebDavSyncOptions& options)
{
    if (const std::string problem = davAddressProblem(account); !problem.empty()) {
        return failed(problem);
    }
    WebDavClient client{account, options.limits};
    std::optional<DavFileLock> lock;
    if (!options.dryRun) {
        lock.emplace(account, options.limits, options.lockTimes);
        std::string error;
        if (!lock->acquire(error)) {
            return failed(error);
        }
    }
    const std::string target = targetOf(client);
    for (int round = 0; round < options.rounds; ++round) {
        DavAnswer read = client.get(account.file, XbelDocument::kLargestFile);
        if (read.status != 200 && read.status != 404) {
            return failed(davProblem(read, account.file));
        }
        ServerFile file;
        file.exists = read.status == 200;
        file.bytes = std::move(read.body);
        file.etag = strongEtag(read.etag);
        file.modified = httpDateSeconds(read.lastModified);
        const SyncTimes times{file.modified, databaseModified(database)};
        SyncPlan plan;
        std::string error;
        if (!planSync(database, target, file, times, plan, error)) {
            return failed(error);
        }
        WebDavSyncResult result;
        if (options.dryRun) {
            result.ok = true;
            result.account = plan.account;
            result.message = describePlan(plan);
            return result;
        }
        std::string newEtag = plan.readEtag;
        if (plan.writeFile) {
            if (options.beforeWrite) {
                options.beforeWrite();
            }
            DavAnswer failure;
            const Written written =
                writeFile(client, file, plan.newFile, options, newEtag, failure);
            if (written == Written::ReadAgain) {
                continue; // read what they wrote and merge again
            }
            if (written == Written::Failed) {
                return failed(davProblem(failure, account.file));
            }
            result.wroteFile = true;
        }
        if (!commitSync(database, plan, newEtag, error)) {
            return failed(error);
        }
        result.ok = true;
        result.account = plan.account;
        result.message = describeAccount(plan.account);
        return result;
    }
    return failed(account.file + " kept changing on the server while we synchronised; "
                                 "try again in a moment");
}

bool testServerConnection(const DavAccount& account, std::string& words, const HttpLimits& limits)
{
    if (words = davAddressProblem(account); !words.empty()) {
        return false;
    }
    WebDavClient client{account, limits};
    const DavAnswer file = client.head(account.file);
    if (file.status == 200) {
        words = "Connected: " + account.file + " is on the server";
        return true;
    }
    if (file.status != 404) {
        words = davProblem(file, account.file);
        return false;
    }
    const DavAnswer folder = client.findFolder();
    if (folder.status == 207) {
        words = "Connected: " + account.file + " is not on the server yet; the first sync makes it";
        return true;
    }
    words = folder.status == 404 ? "The folder is not on the server (404): check the address"
                                 : davProblem(folder, account.file);
    return false;
}

} // namespace tessaly

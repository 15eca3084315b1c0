#include "sync_command.h"

#include "field_escape.h"
#include "options.h"
#include "session.h"

#include "framework/system_file.h"
#include "platform/secret_store.h"
#include "webdav/webdav_sync.h"

namespace tessaly::cli {

namespace {

constexpr const char* kIni = "TESSLY.INI";

// The first line of the file, without its line end.
bool readServerPassword(const std::string& path, std::string& password, std::ostream& err)
{
    std::string content;
    if (const SystemResult read = readWholeFile(path, content, std::size_t{64} << 10U);
        !read.ok()) {
        err << "tessaly-cli sync: cannot read the password file " << path << ": " << read.text
            << '\n';
        return false;
    }
    password = content.substr(0, content.find('\n'));
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    return true;
}

} // namespace

int SyncCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    const Options options =
        parseOptions(arguments, {"url", "user", "password-file", "file"}, {"dry-run"});
    if (!options.error.empty()) {
        return usageError(options.error, context);
    }
    if (!options.positional.empty()) {
        return usageError("unexpected " + options.positional[0], context);
    }
    const std::string passwordFile = callerPath(options.get("password-file").value_or(""));
    Session session{context};
    if (!session.start(options.has("dry-run") ? Session::Access::Read : Session::Access::Write)) {
        return kExitFailure;
    }
    SyncServerSettings settings = loadSyncSettings(kIni);
    settings.url = options.get("url").value_or(settings.url);
    settings.user = options.get("user").value_or(settings.user);
    settings.file = options.get("file").value_or(settings.file);
    if (settings.url.empty()) {
        return usageError("no server address: give --url the first time", context);
    }
    if (const std::string refused = syncSettingsRefusal(settings); !refused.empty()) {
        return usageError(refused, context);
    }
    DavAccount account{settings.url, settings.user, {}, settings.file};
    if (!passwordFile.empty()) {
        if (!readServerPassword(passwordFile, account.password, context.err)) {
            return kExitFailure;
        }
    } else if (!account.user.empty()) {
        DesktopSecretStore store;
        const auto kept = store.lookup(account.folderUrl, account.user);
        if (!kept) {
            context.err << "tessaly-cli sync: no password for " << messageText(account.user)
                        << ": give --password-file FILE, or keep it in the desktop's secret "
                           "store from the Synchronise window\n";
            return kExitFailure;
        }
        account.password = *kept;
    }

    WebDavSyncOptions syncOptions;
    syncOptions.dryRun = options.has("dry-run");
    context.out << (syncOptions.dryRun ? "Would synchronise " : "Synchronising ")
                << messageText(settings.file) << " at " << messageText(settings.url)
                << (settings.user.empty() ? std::string{} : " as " + messageText(settings.user))
                << '\n';
    const WebDavSyncResult result = syncWithServer(session.database(), account, syncOptions);
    if (!result.ok) {
        context.err << "tessaly-cli sync: " << messageText(result.message) << '\n';
        return kExitFailure;
    }
    context.out << messageText(result.message);
    if (!result.message.empty() && result.message.back() != '\n') {
        context.out << '\n';
    }
    // A dry run changes nothing, the remembered server included.
    if (std::string error; !syncOptions.dryRun && !saveSyncSettings(settings, kIni, error)) {
        context.err << "tessaly-cli sync: the settings could not be kept in " << kIni << ": "
                    << error << '\n';
    }
    return kExitOk;
}

} // namespace tessaly::cli

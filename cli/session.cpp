#include "session.h"

#include "access_check.h"
#include "platform/data_folder.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tessaly::cli {

Session::Session(const Context& context) : context_(context), ui_(context.err)
{}

Session::~Session()
{
    if (services_) {
        services_->shutdown();
    }
}

bool Session::writable(const std::string& path, std::string_view what) const
{
    if (::access(path.c_str(), W_OK) == 0 || errno == ENOENT) {
        return true;
    }
    context_.err << "tessaly-cli: cannot write " << what << ": " << std::strerror(errno) << '\n';
    return false;
}

namespace {

constexpr int kScriptLockWaitMs = 30000;

} // namespace

bool Session::start(Access access)
{
    const DataFolderChoice folder = enterDataFolder(context_.dataFolder);
    if (!folder.error.empty()) {
        context_.err << "tessaly-cli: " << folder.error << '\n';
        return false;
    }
    // The engine opens a read-only file for reading and only the first write
    // fails, naming whichever file it touched first (often the categories).
    // Say plainly which file stands in the way before anything is changed.
    if (access == Access::Write &&
        (!writable(".", "in the data folder " + folder.path) ||
         !writable("URLDATA.tps", "the bookmark file URLDATA.tps in " + folder.path))) {
        return false;
    }
    // A command that only reads has nothing to say when a file it could not
    // write is opened for reading instead.
    ui_.setQuietReadOnlyFallback(access == Access::Read);
    services_ = std::make_unique<Services>(ui_, ".");
    // Scripts run side by side: one waits its turn while another writes,
    // longer than a window that must not freeze would.
    services_->setLockWait(kScriptLockWaitMs);
    services_->start();
    // A file another program holds past our wait was named already; the
    // command does not go on to name it again for every step.
    if (!services_->settingsReadable() || !services_->settingsStore().load(services_->settings())) {
        return false;
    }
    // Everything the windows guard, passwords of sites included, is behind
    // the same password here.
    return checkAccess(services_->settings(), context_);
}

const Settings& Session::loadSettings()
{
    return services_->settings(); // read once, by start()
}

} // namespace tessaly::cli

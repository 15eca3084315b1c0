#include "session.h"

#include "platform/data_folder.h"

namespace tessaly::cli {

Session::Session(const Context& context) : context_(context), ui_(context.err)
{}

Session::~Session()
{
    if (services_) {
        services_->shutdown();
    }
}

bool Session::start()
{
    const DataFolderChoice folder = enterDataFolder(context_.dataFolder);
    if (!folder.error.empty()) {
        context_.err << "tessaly-cli: " << folder.error << '\n';
        return false;
    }
    services_ = std::make_unique<Services>(ui_, ".");
    services_->start();
    return true;
}

const Settings& Session::loadSettings()
{
    services_->settingsStore().load(services_->settings());
    return services_->settings();
}

} // namespace tessaly::cli

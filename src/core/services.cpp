#include "core/services.h"

#include "core/file_version.h"
#include "core/tables.h"

namespace tessaly {

Services::Services(UiPort& ui, std::string folder, std::string winePrefix)
    : ui_(ui), folder_(std::move(folder)), winePrefix_(std::move(winePrefix))
{}

Services::~Services()
{
    if (started()) {
        shutdown();
    }
}

std::string Services::folderPath(std::string_view name) const
{
    if (folder_.empty() || folder_ == ".") {
        return std::string{name};
    }
    return folder_ + "/" + std::string{name};
}

std::string readSetting(FileManager& configuration, std::string_view name)
{
    Record setting{configurationTable()};
    setting.setText(ConfigurationField::DataType, name);
    if (configuration.tryFetch(0, setting) != kLevelDone) {
        return {};
    }
    return setting.text(ConfigurationField::DataValue);
}

void Services::readTheme()
{
    FileManager& configuration = database_->configuration();
    if (configuration.use() != kLevelDone) {
        settingsReadable_ = false;
        return;
    }
    // Through GetSetting, so a Theme kept in WIN.INI counts and a read error
    // says so.
    theme_ = settingsStore_->get("Theme", "");
    settings_.theme = theme_;
    configuration.close();
}

void Services::start()
{
    helpFile_ = "TESSLY.HLP";
    steps_.push_back("help file TESSLY.HLP");
    messages_ = std::make_unique<MessageManager>(ui_);
    steps_.push_back("message manager");
    positions_ = std::make_unique<PositionStore>(folderPath("POSITION.INI"));
    steps_.push_back("window-position store POSITION.INI");
    database_ = std::make_unique<Database>(*messages_, folder_);
    database_->engine().setLockWait(lockWait_);
    steps_.push_back("file and relation managers");
    FileVersionLayer::instance().registerDatabaseFiles();
    steps_.push_back("file-version registrations");
    registry_ = std::make_unique<RegistryAccessor>(true, winePrefix_);
    steps_.push_back("registry accessor, silent");
    settingsStore_ = std::make_unique<SettingsStore>(database_->configuration(), ui_, *registry_,
                                                     folderPath("WIN.INI"));
    readTheme();
    steps_.push_back("theme");
}

void Services::shutdown()
{
    if (positions_) {
        std::string error;
        if (!positions_->close(&error)) {
            // Losing window positions is no reason to stop, but the user
            // should know why the windows forget where they were.
            ui_.showMessage({"Window Positions Not Saved",
                             "POSITION.INI could not be written: " + error + ".",
                             MessageIcon::Exclamation, ButtonOk, ButtonOk});
        }
        positions_.reset();
        steps_.push_back("window-position store closed");
    }
    settingsStore_.reset();
    registry_.reset();
    steps_.push_back("registry accessor disposed");
    if (database_) {
        database_->closeAll();
        database_.reset();
    }
    steps_.push_back("file and relation managers killed");
    messages_.reset();
    steps_.push_back("message manager disposed");
}

} // namespace tessaly

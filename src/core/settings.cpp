#include "core/settings.h"

#include "core/tables.h"
#include "framework/ini_file.h"
#include "framework/picture.h"
#include "framework/text.h"

#include <algorithm>

namespace tessaly {

namespace {

constexpr int kSettingKey = 0; // CF:KEYDATATYPE

int toNumber(std::string_view text)
{
    return static_cast<int>(parseNumber(text).value_or(0));
}

} // namespace

SettingsStore::SettingsStore(FileManager& configuration, UiPort& ui,
                             const RegistryAccessor& registry, std::string defaultIni)
    : configuration_(configuration), ui_(ui), registry_(registry),
      defaultIni_(std::move(defaultIni))
{}

int SettingsStore::fetch(Record& record)
{
    EngineStatus status = configuration_.file().get(kSettingKey, record, record);
    if (status.code == kFileNotOpen) {
        configuration_.setAccessMode(kAccessReadWrite);
        configuration_.use(); // stays open for the settings that follow
        status = configuration_.file().get(kSettingKey, record, record);
    }
    return status.code;
}

std::string SettingsStore::get(std::string_view name, std::string_view fallback)
{
    Record record{configurationTable()};
    record.setText(ConfigurationField::DataType, name);
    const int code = fetch(record);
    if (code == kRecordNotFound) {
        record.clear();
        const std::string value = readIniValue(defaultIni_, "Settings", name, fallback);
        record.setText(ConfigurationField::DataValue, value);
        if (!text::trim(value).empty()) {
            record.setText(ConfigurationField::DataType, name);
            configuration_.file().add(record); // its own errors are not reported
        }
    } else if (code != kNoError) {
        ui_.showMessage({"Error!",
                         "Error retrieving configuration information code " +
                             text::padded(record.text(ConfigurationField::DataType), 40) + " - " +
                             configuration_.file().status().text,
                         MessageIcon::Exclamation, ButtonOk, ButtonOk});
    }
    return record.text(ConfigurationField::DataValue);
}

void SettingsStore::put(std::string_view name, std::string_view value)
{
    Record record{configurationTable()};
    record.setText(ConfigurationField::DataType, name);
    EngineStatus status;
    if (fetch(record) == kRecordNotFound) {
        record.clear();
        record.setText(ConfigurationField::DataType, name);
        record.setText(ConfigurationField::DataValue, value);
        status = configuration_.file().add(record);
    } else {
        record.setText(ConfigurationField::DataValue, value);
        status = configuration_.file().put(record);
    }
    if (!status.ok()) {
        ui_.showMessage({"Error!",
                         "Error writing configuration information.  Code " +
                             text::padded(record.text(ConfigurationField::DataType), 40) + " - " +
                             status.text,
                         MessageIcon::Exclamation, ButtonOk, ButtonOk});
    }
}

std::string SettingsStore::registryFavorites() const
{
    // Wine keeps "%USERPROFILE%\Favorites" here; taken as it stands it names
    // a folder that cannot exist, so its references are expanded, and when
    // one names nothing known the expanded copy under "Shell Folders" serves.
    const std::string folder = registry_.read(kUserShellFolders, "Favorites", kDefaultFavorites);
    if (folder != kDefaultFavorites) {
        if (auto expanded = registry_.expandReferences(folder)) {
            return *expanded;
        }
    }
    return registry_.read(kShellFolders, "Favorites", kDefaultFavorites);
}

void SettingsStore::load(Settings& settings)
{
    configuration_.use();
    const std::string favorites = registry_.mapPath(registryFavorites());
    settings.theme = get("Theme", settings.theme);
    settings.doubleClickAction = get("DoubleClickAction", settings.doubleClickAction);
    settings.noTray = toNumber(get("NoTray", std::to_string(settings.noTray)));
    settings.secure = toNumber(get("Secure", std::to_string(settings.secure)));
    settings.password = get("Password", settings.password);
    settings.startupBrowse = get("StartupBrowse", "Location");
    settings.favoritesPath = get("FavoritesPath", favorites);
    settings.linkTestJobs = std::clamp(
        toNumber(get("LinkTestJobs", std::to_string(settings.linkTestJobs))), 1, kMostLinkTestJobs);
    settings.linkTestsPerHost =
        std::clamp(toNumber(get("LinkTestsPerHost", std::to_string(settings.linkTestsPerHost))), 1,
                   settings.linkTestJobs);
    configuration_.close();
}

void SettingsStore::save(const Settings& settings)
{
    configuration_.use();
    configuration_.file().stream();
    put("DoubleClickAction", settings.doubleClickAction);
    put("NoTray", std::to_string(settings.noTray));
    put("Secure", std::to_string(settings.secure));
    put("Password", settings.password);
    put("StartupBrowse", settings.startupBrowse);
    put("FavoritesPath", settings.favoritesPath);
    put("LinkTestJobs", std::to_string(settings.linkTestJobs));
    put("LinkTestsPerHost", std::to_string(settings.linkTestsPerHost));
    configuration_.file().flush();
    configuration_.close();
}

bool passwordRequired(const Settings& settings)
{
    return settings.secure != 0 && !text::clip(settings.password).empty();
}

bool passwordMatches(std::string_view typed, std::string_view stored)
{
    return text::upper(text::clip(typed)) == text::upper(text::clip(stored));
}

} // namespace tessaly

#include "core/settings.h"

#include "core/tables.h"
#include "framework/ini_file.h"
#include "framework/picture.h"
#include "framework/text.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tessaly {

namespace {

constexpr int kSettingKey = 0; // CF:KEYDATATYPE

// About 50 to 100 milliseconds a try on an ordinary machine: nothing for one
// start-up, slow for someone trying a dictionary against a copied file.
constexpr int kPasswordIterations = 200000;
// A stored count above this is no hash of ours; refusing it keeps a doctored
// file from making the check run for hours.
constexpr long kMostPasswordIterations = 10000000;
constexpr std::string_view kPasswordScheme = "pbkdf2-sha256";
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;

int toNumber(std::string_view text)
{
    return static_cast<int>(parseNumber(text).value_or(0));
}

std::string toHex(const unsigned char* bytes, std::size_t size)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(kDigits[bytes[i] >> 4U]);
        out.push_back(kDigits[bytes[i] & 0xFU]);
    }
    return out;
}

std::optional<std::vector<unsigned char>> fromHex(std::string_view hex)
{
    if (hex.empty() || hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<unsigned char> out(hex.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const char* first = hex.data() + 2 * i;
        const auto [end, error] = std::from_chars(first, first + 2, out[i], 16);
        if (error != std::errc{} || end != first + 2) {
            return std::nullopt;
        }
    }
    return out;
}

// The text the comparison rule compares: trailing blanks removed, capitals.
std::string comparable(std::string_view password)
{
    return text::upper(text::clip(password));
}

std::array<unsigned char, kHashBytes> derive(std::string_view password,
                                             const std::vector<unsigned char>& salt, int iterations)
{
    std::array<unsigned char, kHashBytes> hash{};
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                          static_cast<int>(salt.size()), iterations, EVP_sha256(),
                          static_cast<int>(hash.size()), hash.data()) != 1) {
        throw std::runtime_error("PBKDF2 failed");
    }
    return hash;
}

struct PasswordHash {
    int iterations = 0;
    std::vector<unsigned char> salt;
    std::vector<unsigned char> hash;
};

std::optional<PasswordHash> parseHash(std::string_view stored)
{
    const std::vector<std::string_view> parts = [&] {
        std::vector<std::string_view> out;
        std::size_t start = 0;
        for (std::size_t at = stored.find('$'); at != std::string_view::npos;
             start = at + 1, at = stored.find('$', start)) {
            out.push_back(stored.substr(start, at - start));
        }
        out.push_back(stored.substr(start));
        return out;
    }();
    if (parts.size() != 4 || parts[0] != kPasswordScheme) {
        return std::nullopt;
    }
    long iterations = 0;
    const auto [end, error] =
        std::from_chars(parts[1].data(), parts[1].data() + parts[1].size(), iterations);
    if (error != std::errc{} || end != parts[1].data() + parts[1].size() || iterations < 1 ||
        iterations > kMostPasswordIterations) {
        return std::nullopt;
    }
    auto salt = fromHex(parts[2]);
    auto hash = fromHex(parts[3]);
    if (!salt || !hash || hash->size() != kHashBytes) {
        return std::nullopt;
    }
    return PasswordHash{static_cast<int>(iterations), std::move(*salt), std::move(*hash)};
}

// What is stored for `password`: itself when it is already a hash (or
// blank), else its hash.
std::string storedForm(std::string_view password)
{
    return isPasswordHash(password) ? std::string{password} : hashPassword(password);
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

bool SettingsStore::put(std::string_view name, std::string_view value)
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
        showWriteError(name, status);
    }
    return status.ok();
}

void SettingsStore::showWriteError(std::string_view name, const EngineStatus& status)
{
    Record record{configurationTable()};
    record.setText(ConfigurationField::DataType, name);
    ui_.showMessage({"Error!",
                     "Error writing configuration information.  Code " +
                         text::padded(record.text(ConfigurationField::DataType), 40) + " - " +
                         status.text,
                     MessageIcon::Exclamation, ButtonOk, ButtonOk});
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

bool SettingsStore::load(Settings& settings)
{
    if (configuration_.use() != kLevelDone) {
        return false;
    }
    std::string favorites = registry_.mapPath(registryFavorites());
    if (favorites.size() >= 2 && favorites[1] == ':') {
        // No Wine prefix to find it in: a Windows name would only mislead.
        favorites.clear();
    }
    settings.theme = get("Theme", settings.theme);
    settings.doubleClickAction = get("DoubleClickAction", settings.doubleClickAction);
    settings.noTray = toNumber(get("NoTray", std::to_string(settings.noTray)));
    settings.secure = toNumber(get("Secure", std::to_string(settings.secure)));
    settings.password = get("Password", settings.password);
    if (!text::clip(settings.password).empty() && !isPasswordHash(settings.password)) {
        // Written by an earlier version in clear: anyone who could read the
        // file could read it.
        const std::string hashed = hashPassword(settings.password);
        if (put("Password", hashed)) {
            settings.password = hashed;
        }
    }
    settings.startupBrowse = get("StartupBrowse", "Location");
    settings.favoritesPath = get("FavoritesPath", favorites);
    settings.linkTestJobs = std::clamp(
        toNumber(get("LinkTestJobs", std::to_string(settings.linkTestJobs))), 1, kMostLinkTestJobs);
    settings.linkTestsPerHost =
        std::clamp(toNumber(get("LinkTestsPerHost", std::to_string(settings.linkTestsPerHost))), 1,
                   settings.linkTestJobs);
    settings.downloadMostMB =
        std::clamp(toNumber(get("DownloadMostMB", std::to_string(settings.downloadMostMB))), 1,
                   kMostDownloadMB);
    settings.downloadMostMinutes = std::clamp(
        toNumber(get("DownloadMostMinutes", std::to_string(settings.downloadMostMinutes))), 1,
        kMostDownloadMinutes);
    configuration_.close();
    return true;
}

bool SettingsStore::save(const Settings& settings)
{
    const std::pair<std::string_view, std::string> writes[] = {
        {"DoubleClickAction", settings.doubleClickAction},
        {"NoTray", std::to_string(settings.noTray)},
        {"Secure", std::to_string(settings.secure)},
        {"Password", storedForm(settings.password)},
        {"StartupBrowse", settings.startupBrowse},
        {"FavoritesPath", settings.favoritesPath},
        {"LinkTestJobs", std::to_string(settings.linkTestJobs)},
        {"LinkTestsPerHost", std::to_string(settings.linkTestsPerHost)},
        {"DownloadMostMB", std::to_string(settings.downloadMostMB)},
        {"DownloadMostMinutes", std::to_string(settings.downloadMostMinutes)},
    };
    configuration_.use();
    RecordFile& file = configuration_.file();
    bool stored = true;
    if (const EngineStatus group = file.stream(); !group.ok()) {
        // Written one by one instead, some settings would be kept and some
        // not; the user tries again when the other program is done.
        showWriteError(writes[0].first, group);
        stored = false;
    }
    for (std::size_t i = 0; stored && i < std::size(writes); ++i) {
        stored = put(writes[i].first, writes[i].second);
    }
    if (stored) {
        // The commit is where another program's read lock bites: the group
        // is undone then, and saying nothing would lose every value.
        if (const EngineStatus commit = file.flush(); !commit.ok()) {
            showWriteError(writes[std::size(writes) - 1].first, commit);
            stored = false;
        }
    } else if (file.engine().transactionDepth() > 0) {
        file.engine().rollback();
        file.flush(); // ends the group; nothing is left to commit
    }
    configuration_.close();
    return stored;
}

bool passwordRequired(const Settings& settings)
{
    return settings.secure != 0 && !text::clip(settings.password).empty();
}

bool passwordMatches(std::string_view typed, std::string_view stored)
{
    const auto hash = parseHash(stored);
    if (!hash) {
        return comparable(typed) == comparable(stored);
    }
    const auto derived = derive(comparable(typed), hash->salt, hash->iterations);
    return CRYPTO_memcmp(derived.data(), hash->hash.data(), derived.size()) == 0;
}

std::string hashPassword(std::string_view password)
{
    if (text::clip(password).empty()) {
        return {};
    }
    std::vector<unsigned char> salt(kSaltBytes);
    if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1) {
        throw std::runtime_error("no random bytes for a password salt");
    }
    const auto hash = derive(comparable(password), salt, kPasswordIterations);
    return std::string{kPasswordScheme} + "$" + std::to_string(kPasswordIterations) + "$" +
           toHex(salt.data(), salt.size()) + "$" + toHex(hash.data(), hash.size());
}

bool isPasswordHash(std::string_view stored)
{
    return parseHash(stored).has_value();
}

} // namespace tessaly

#pragma once

#include "core/bookmark_schema.h"
#include "core/database.h"
#include "core/position_store.h"
#include "core/settings.h"
#include "framework/fixed_text.h"
#include "framework/message_manager.h"
#include "platform/registry.h"

#include <memory>
#include <string>
#include <vector>

namespace tessaly {

// The file names that several files share: the import file-name variable
// (the old-version database, ASCIIfile and DOSFile are opened under it) and
// the output file-name variable (Output).
struct SharedFileNames {
    FixedText<1096> importFile;
    FixedText<255> outputFile;
};

// The process-wide services of start-up, created in their order and torn
// down in theirs: the help file name, the message manager, the window-
// position store, the database files with their managers, the file-version
// announcements, the registry accessor and the Theme setting.
class Services final {
public:
    // `winePrefix` is where the registry is read (empty: $WINEPREFIX or ~/.wine).
    explicit Services(UiPort& ui, std::string folder = ".", std::string winePrefix = {});
    ~Services();
    Services(const Services&) = delete;
    Services& operator=(const Services&) = delete;

    // How long the database waits for a lock another program holds; set it
    // before start(). Unset, long enough for a batch of another program to
    // commit its group (kBatchCommitEvery) and let the windows' write in.
    void setLockWait(int milliseconds) { lockWait_ = milliseconds; }

    // Start-up up to the point where the windows take over. Fatal failures
    // (a configuration file that cannot be opened) end the program; one
    // another program holds past the wait is said, and settingsReadable()
    // is then false.
    void start();
    bool settingsReadable() const { return settingsReadable_; }
    // Shutdown: the position store is written and closed, the registry
    // accessor, the file managers and the message manager disposed of.
    void shutdown();
    bool started() const { return messages_ != nullptr; }

    std::string_view helpFile() const { return helpFile_; }
    MessageManager& messages() { return *messages_; }
    PositionStore& positions() { return *positions_; }
    Database& database() { return *database_; }
    const RegistryAccessor& registry() const { return *registry_; }
    const std::string& theme() const { return theme_; }
    Settings& settings() { return settings_; }
    SettingsStore& settingsStore() { return *settingsStore_; }
    SharedFileNames& fileNames() { return fileNames_; }
    // The pending address the frame, the lists, the imports and the
    // new-bookmark wizard share.
    FixedText<kAddressWidth>& pendingAddress() { return pendingAddress_; }

    // What start-up and shutdown did, one line per step, in order.
    const std::vector<std::string>& steps() const { return steps_; }

    // A file of the data folder by its name ("TESSLY.INI").
    std::string folderPath(std::string_view name) const;

private:
    void readTheme();

    UiPort& ui_;
    std::string folder_;
    std::string winePrefix_;
    std::string helpFile_;
    std::unique_ptr<MessageManager> messages_;
    std::unique_ptr<PositionStore> positions_;
    std::unique_ptr<Database> database_;
    int lockWait_ = 5000;
    std::unique_ptr<RegistryAccessor> registry_;
    std::string theme_;
    bool settingsReadable_ = true;
    Settings settings_;
    std::unique_ptr<SettingsStore> settingsStore_;
    SharedFileNames fileNames_;
    FixedText<kAddressWidth> pendingAddress_;
    std::vector<std::string> steps_;
};

// Reads one setting from the Configuration file; empty when it is absent.
std::string readSetting(FileManager& configuration, std::string_view name);

} // namespace tessaly

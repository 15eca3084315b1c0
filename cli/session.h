#pragma once

#include "cli_ui.h"
#include "command.h"
#include "core/services.h"

#include <memory>

namespace tessaly::cli {

// The database of the data folder, opened for one command with messages
// going to the error stream.
class Session final {
public:
    explicit Session(const Context& context);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    enum class Access { Read, Write };

    // Enters the data folder and starts the services; false (with a message
    // on the error stream) when the folder is unusable or, for Write, when
    // the bookmark file cannot be written. A database that cannot be opened
    // ends the process with its fatal message.
    bool start(Access access = Access::Read);
    Database& database() { return services_->database(); }
    UiPort& ui() { return ui_; }
    // The user's preferences as the program would read them at start-up.
    const Settings& loadSettings();

private:
    bool writable(const std::string& path, std::string_view what) const;

    const Context& context_;
    CliUi ui_;
    std::unique_ptr<Services> services_;
};

} // namespace tessaly::cli

#pragma once

#include "core/services.h"
#include "platform/launcher.h"

#include "scripted_ui.h"
#include "temp_folder.h"

namespace tessaly::test {

// Opens nothing and says it did.
struct NoOpener final : Opener {
    int open(const std::string&, const std::string&) override { return kOpenedOk; }
    bool start(const std::string&) override { return true; }
};

// The program's services started over a fresh data folder, with scripted
// answers to its questions.
struct StartedServices {
    TempFolder folder;
    TempFolder prefix;
    ScriptedUi ui;
    Services services{ui, folder.path(), prefix.path()};
    NoOpener opener;

    StartedServices() { services.start(); }
    Database& db() { return services.database(); }
};

} // namespace tessaly::test

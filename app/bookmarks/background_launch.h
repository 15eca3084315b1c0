#pragma once

#include "framework/ui_port.h"
#include "platform/launcher.h"

#include <functional>
#include <string>

class QObject;

namespace tessaly::gui {

// Launches `target` on a worker thread: the desktop's opener may wait
// seconds for its handler, and the windows must go on answering meanwhile.
// When the launch ends, on the window thread, a failure is shown through
// `ui` and `done` hears whether something started. Nothing is reported
// once `context` is gone. `opener` must outlive the launch.
void launchInBackground(const std::string& target, Opener& opener, UiPort& ui, QObject* context,
                        std::function<void(bool started)> done = {});

} // namespace tessaly::gui

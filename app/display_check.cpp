#include "display_check.h"

#include <cstdlib>

namespace tessaly::gui {

namespace {

bool isSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

} // namespace

std::string missingDisplayMessage()
{
    if (isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY")) {
        return {};
    }
    return "tessaly needs a display, and none was found: run it inside a desktop session, "
           "under a virtual one with \"xvfb-run -a tessaly\", with "
           "QT_QPA_PLATFORM=offscreen, or use tessaly-cli for work without windows.";
}

} // namespace tessaly::gui

#pragma once

#include "command.h"
#include "core/settings.h"

namespace tessaly::cli {

// The password check of a guarded program ("Secure" on with a password):
// the password comes from the first line of --password-file, else it is
// asked for on the controlling terminal without echo. True when the command
// may go on; otherwise the reason is on the error stream (no terminal and no
// file, a file that cannot be read, a wrong password).
bool checkAccess(const Settings& settings, const Context& context);

} // namespace tessaly::cli

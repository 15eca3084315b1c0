#pragma once

#include <functional>

namespace tessaly {
class Database;
class Services;
} // namespace tessaly

namespace tessaly::gui {

// Runs `work` on a thread of its own with a connection of its own to the
// program's database files, and waits for it with the GUI's events still
// served: the progress window repaints and its Cancel is heard, and the
// worker's questions (through the UiPort) are asked on the GUI thread.
// SQLite connections are per thread, so the worker never uses the GUI's.
void runWithWorkerDatabase(Services& services, const std::function<void(Database&)>& work);

} // namespace tessaly::gui

#pragma once

#include <functional>

namespace tessaly {

// Work that must run when the program is halted after a fatal message:
// rolling back open transactions and closing database files, so that a halt
// never leaves a file half-written. Hooks run once, newest first.
using HaltHook = std::function<void()>;

// Registers a hook; the returned number removes it again.
int addHaltHook(HaltHook hook);
void removeHaltHook(int id);

// Runs every hook (each at most once per process; later calls do nothing).
void runHaltHooks();

// Runs the hooks and ends the process with `exitCode` at once, without
// unwinding: no destructor of a half-finished operation runs after a fatal
// error.
[[noreturn]] void haltProcess(int exitCode);

} // namespace tessaly

#pragma once
// Keeps the module that holds this code loaded until the process ends.
//
// The library starts threads that nobody joins (scan threads, the directory
// watcher's worker, the change notification thread) and keeps its file
// activity monitor for the process's life. Were the host to unload the
// library while one of them runs, the thread would run code that is no longer
// mapped. A thread cannot drop the last reference to the code it runs, and
// nothing can tell when the last detached thread is done, so the module is
// pinned instead of counted: unloading it afterwards leaves it in place.
namespace torvane::platform {

// Idempotent; false when the platform refused (the module then stays as
// loaded as its host keeps it).
bool PinLibraryModule();

}  // namespace torvane::platform

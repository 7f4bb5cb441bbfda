// The shipped library's exports. On Windows they are named, with their
// ordinals, by Torvane.def, and use the platform's standard calling
// convention (the callee pops its arguments), undecorated on x86. Natively
// they are the only symbols libTorvane.so exports (Torvane.map).
//
// Nothing runs at load beyond the constructors of the C++ runtime: no thread
// is started and nothing is waited for while the loader lock is held.
#include "entry/do_work.h"

#ifdef _WIN32
#define TORVANE_EXPORT extern "C"
#define TORVANE_CALL __stdcall
#else
#define TORVANE_EXPORT extern "C" __attribute__((visibility("default")))
#define TORVANE_CALL
#endif

// Runs the device watch window on the caller's thread until it is ended from
// outside (the window destroyed or a quit message posted to the thread);
// always 0. The argument is not used.
TORVANE_EXPORT int TORVANE_CALL DoWork(void* /*unused*/) { return torvane::entry::RunDoWork(); }

// The shipped library's main export (ShowWarnInfo is in warn/export/).
//
// Nothing runs at load beyond the constructors of the C++ runtime: no thread
// is started and nothing is waited for while the loader lock is held.
#include <cstdint>

#include "entry/do_work.h"
#include "entry/export_guard.h"
#include "entry/export.h"

// Runs the device watch window on the caller's thread until it is ended from
// outside (the window destroyed or a quit message posted to the thread);
// always 0, also when something in it threw (logged). The argument is not
// used.
extern "C" TORVANE_EXPORT_VISIBLE std::int32_t TORVANE_EXPORT_CALL DoWork(void* /*unused*/) {
  return torvane::entry::RunExportBody("DoWork", [] { return torvane::entry::RunDoWork(); });
}

#pragma once
// How the shipped library's exports are declared. Windows: the platform's
// standard calling convention (the callee pops its arguments), exported by
// name and ordinal through entry/Torvane.def, undecorated on x86. POSIX:
// default visibility; entry/Torvane.map lets nothing else out.
#ifdef _WIN32
#define TORVANE_EXPORT_CALL __stdcall
#define TORVANE_EXPORT_VISIBLE  // exported through entry/Torvane.def
#else
#define TORVANE_EXPORT_CALL
#define TORVANE_EXPORT_VISIBLE __attribute__((visibility("default")))
#endif

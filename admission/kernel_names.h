#pragma once
// Names of the kernel objects the admission path looks up or creates.
namespace torvane::admission {

// Created and deleted by the host agent; while it exists no scan pass runs.
inline constexpr char kSuspendAtom[] = "{86A32574-31C8-46D9-91F4-1A94CA60D0DF}";
// Existence flags: one scan pass at a time, one password dialog at a time.
inline constexpr char kProgressFlag[] = "Global_DisplayProgress_DIZaraz";
inline constexpr char kPasswordDialogFlag[] = "Global_ShowInputPassword_DIZaraz";

}  // namespace torvane::admission

#pragma once
// The one value the library writes: HKEY_LOCAL_MACHINE "SOFTWARE\Ferrowan"
// "check", the size of the encrypted warning store after its latest write.
#include <cstdint>

namespace torvane::config {

inline constexpr char kCheckKey[] = "SOFTWARE\\Ferrowan";
inline constexpr char kCheckValue[] = "check";

// size >= 1 stores it as a REG_DWORD; anything else deletes the value.
// Returns -1 when the key can neither be opened nor created, else 0 (the
// results of setting and deleting are not examined).
int SetCheckValue(std::int32_t size);

}  // namespace torvane::config

#pragma once
// Where the suite's configuration and the library's own files live.
#include <optional>
#include <string>

namespace torvane::config {

// The directory of the host process's executable with its trailing
// separator, derived afresh on every call; empty when it cannot be had.
std::string HostDirectory();

// Points HostDirectory at another folder (the reference host's --dir and the
// tests); nullopt restores the real one. The folder should end with a
// separator, as the real one does.
void SetHostDirectoryOverride(std::optional<std::string> dir);

}  // namespace torvane::config

#pragma once
// The reference host's subcommands. Each takes the words after its name and
// returns the process exit code.
#include <string>
#include <vector>

namespace torvane::host {

using Args = std::vector<std::string>;

int RunConfig(const Args& args);
int RunReport(const Args& args);
int RunScan(const Args& args);
int RunWatchDevices(const Args& args);
int RunWatch(const Args& args);
int RunLibrary(const Args& args);
int RunWarn(const Args& args);

}  // namespace torvane::host

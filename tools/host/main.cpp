// torvane-host: the reference host program.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/command_line.h"
#include "tools/host/commands.h"

namespace {

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const torvane::host::Args&);
};

constexpr Command kCommands[] = {
    {"config", "config [--dir DIR]   print the host directory and every configuration value",
     torvane::host::RunConfig},
    {"report", "report [--dir DIR] TEXT   report one event (type 2) and say if it was delivered",
     torvane::host::RunReport},
    {"watch",
     "watch DRIVE [--seconds N] [--report DIR]   print (and report) the file activity events "
     "of a drive root",
     torvane::host::RunWatch},
    {"scan", "scan [--dir DIR] [--selvik PATH] [--script FILE|-] [--utf8]   one scan pass",
     torvane::host::RunScan},
    {"watch-devices",
     "watch-devices [--dir DIR] [--selvik PATH] [--script FILE|-] [--utf8] [--drive X=DIR]...   "
     "the device watch window, driven by the script",
     torvane::host::RunWatchDevices},
    {"warn", "warn [--library PATH] CAPTION TEXT   show the warning box through the shipped library",
     torvane::host::RunWarn},
};

int Usage() {
  std::fprintf(stderr, "usage: torvane-host COMMAND [ARGS]\n");
  for (const auto& c : kCommands) std::fprintf(stderr, "  %s\n", c.usage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  for (const auto& c : kCommands) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    // `warn` takes its texts in UTF-8 whatever the code page (on Windows
    // from the wide command line).
    if (std::strcmp(c.name, "warn") == 0) {
      const auto all = torvane::platform::Utf8Arguments(argc, argv);
      return c.run(torvane::host::Args(all.begin() + 2, all.end()));
    }
    return c.run(torvane::host::Args(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "torvane-host: unknown command '%s'\n", argv[1]);
  return Usage();
}

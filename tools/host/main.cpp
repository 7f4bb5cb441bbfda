// torvane-host: the reference host program.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <openssl/crypto.h>

#include "platform/command_line.h"
#include "tools/host/commands.h"
#include "tools/host/output.h"

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
     "watch DRIVE [--seconds N] [--report DIR] [--drive X=DIR]...   print (and report) the file activity events "
     "of a drive root",
     torvane::host::RunWatch},
    {"run",
     "run [--dir DIR] [--seconds N] [--script FILE|-] [--timestamps] [--drive X=DIR]...   load the "
     "library and run DoWork until Ctrl-C",
     torvane::host::RunLibrary},
    {"scan", "scan [--dir DIR] [--selvik PATH] [--script FILE|-]   one scan pass",
     torvane::host::RunScan},
    {"watch-devices",
     "watch-devices [--dir DIR] [--selvik PATH] [--script FILE|-] [--drive X=DIR]...   "
     "the device watch window, driven by the script",
     torvane::host::RunWatchDevices},
    {"warn", "warn [--library PATH] CAPTION TEXT   show the warning box through the shipped library",
     torvane::host::RunWarn},
};

int Usage() {
  std::fprintf(stderr,
               "usage: torvane-host [--raw] COMMAND [ARGS]\n"
               "       torvane-host --version\n"
               "Texts are printed in UTF-8; --raw (anywhere) prints their GBK bytes.\n");
  for (const auto& c : kCommands) std::fprintf(stderr, "  %s\n", c.usage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // `warn` takes its texts in UTF-8 whatever the code page (on Windows from
  // the wide command line); the other commands take the bytes given.
  std::vector<std::string> given(argv, argv + argc);
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--raw") == 0) continue;
    if (std::strcmp(argv[i], "warn") == 0) given = torvane::platform::Utf8Arguments(argc, argv);
    break;
  }
  torvane::host::Args words;
  for (std::size_t i = 1; i < given.size(); ++i) {
    if (given[i] == "--raw") {
      torvane::host::SetRawOutput(true);
    } else {
      words.push_back(given[i]);
    }
  }
  if (words.empty()) return Usage();
  if (words[0] == "--version") {
    // The libcrypto linked in, for the release's component list and support.
    std::printf("torvane-host %s\n%s\n", TORVANE_VERSION, OpenSSL_version(OPENSSL_VERSION));
    return 0;
  }
  for (const auto& c : kCommands) {
    if (words[0] == c.name) return c.run(torvane::host::Args(words.begin() + 1, words.end()));
  }
  std::fprintf(stderr, "torvane-host: unknown command '%s'\n", words[0].c_str());
  return Usage();
}

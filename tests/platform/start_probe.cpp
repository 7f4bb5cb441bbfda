// Started by the process tests: leaves "started.txt" in its own folder, with
// the name it was started under.
#include <fstream>

#include "platform/host_dir.h"

int main(int argc, char** argv) {
  std::ofstream(torvane::platform::ExecutableDirectory() + "started.txt") << (argc > 0 ? argv[0] : "");
  return 0;
}

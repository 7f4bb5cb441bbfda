#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <system_error>
#include <thread>

#include "platform/host_dir.h"
#include "platform/process.h"

extern char** environ;

namespace torvane::platform {

bool StartProgram(const std::string& program) {
  if (!IsFullPath(program)) return false;
  std::string path = program;
  char* argv[] = {path.data(), nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  try {
    std::thread([pid] {
      int status = 0;
      ::waitpid(pid, &status, 0);
    }).detach();
  } catch (const std::system_error&) {
    // Without a thread the child stays a zombie until this process ends.
  }
  return true;
}

void TerminateNow() {
  ::kill(::getpid(), SIGKILL);
  for (;;) ::pause();
}

}  // namespace torvane::platform

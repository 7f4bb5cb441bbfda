// Test helper for the cross-process store tests.
//   store_append_helper append STORE ID COUNT   appends COUNT records
//   store_append_helper hold                    takes the store lock (waiting
//       for any other holder), says "held", keeps it until a line (or the end)
//       arrives on standard input, lets go and says "released"
//   store_append_helper endless STORE ID FIRST [DIE_MS]
//       appends records FIRST, FIRST+1, ... saying "ok N" once append N
//       returned, until killed, or until it terminates itself abruptly
//       (TerminateProcess, SIGKILL) DIE_MS milliseconds after its start
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "config/host_directory.h"
#include "platform/detached_thread.h"
#include "platform/host_dir.h"
#include "platform/named_flag.h"
#include "platform/process.h"
#include "report/store_format.h"
#include "report/store_lock.h"
#include "report/warning_store.h"

namespace {

std::string Record(const std::string& id, int i) {
  return "WS-" + id + "|2026-01-02 03:04:05|proc " + id + " rec " + std::to_string(i) +
         ", with comma|2|";
}

void LogBesideStore(const std::string& store) {
  // The operation log goes beside the store, not beside this program.
  const std::string dir = std::filesystem::path(store).parent_path().string();
  torvane::config::SetHostDirectoryOverride(dir + torvane::platform::kPathSeparator);
}

int Append(const std::string& store, const std::string& id, int count) {
  LogBesideStore(store);
  std::printf("appending\n");  // the lock test waits for this before it releases
  std::fflush(stdout);
  for (int i = 0; i < count; ++i) {
    if (torvane::report::AppendWarningRecord(store, Record(id, i)) != 0) {
      std::fprintf(stderr, "append %d failed\n", i);
      return 1;
    }
  }
  return 0;
}

int Endless(const std::string& store, const std::string& id, int first, int die_ms) {
  LogBesideStore(store);
  if (die_ms >= 0) {
    torvane::platform::StartDetachedThread([die_ms] {
      std::this_thread::sleep_for(std::chrono::milliseconds(die_ms));
      torvane::platform::TerminateNow();
    });
  }
  for (int i = first;; ++i) {
    if (torvane::report::AppendWarningRecord(store, Record(id, i)) != 0) {
      std::fprintf(stderr, "append %d failed\n", i);
      return 1;
    }
    std::printf("ok %d\n", i);
    std::fflush(stdout);
  }
}

int Hold() {
  // Taken as an append takes it, so a lock still held by a process that is
  // just ending is waited for rather than reported as a failure.
  auto flag = torvane::report::AcquireStoreLock();
  if (!flag) {
    std::fprintf(stderr, "lock not taken\n");
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  // Held until a line or the end of input comes, whichever is first.
  char line[16];
  if (std::fgets(line, sizeof line, stdin) == nullptr) std::clearerr(stdin);
  flag->Release();
  std::printf("released\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "append") == 0)
    return Append(argv[2], argv[3], std::atoi(argv[4]));
  if ((argc == 5 || argc == 6) && std::strcmp(argv[1], "endless") == 0)
    return Endless(argv[2], argv[3], std::atoi(argv[4]), argc == 6 ? std::atoi(argv[5]) : -1);
  if (argc == 2 && std::strcmp(argv[1], "hold") == 0) return Hold();
  std::fprintf(stderr,
               "usage: store_append_helper append STORE ID COUNT | endless STORE ID FIRST "
               "[DIE_MS] | hold\n");
  return 2;
}

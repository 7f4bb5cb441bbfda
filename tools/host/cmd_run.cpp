// torvane-host run: the host agent's part. Loads the shipped library from
// the host directory by its full path, calls DoWork on a thread of its own
// and keeps it running until a stop request: Ctrl-C, SIGTERM, the end of
// --seconds N, or the library's window ending by itself. A stop posts a
// quit message to DoWork's thread (Windows) or gives the scripted UI its
// `quit` step (POSIX), then waits for DoWork to return.
//
// Options:
//   --dir DIR        the host directory: the library and the suite's files
//                    (default: this program's folder). On Windows the
//                    library derives it from the program's path, so DIR must
//                    be this program's folder there.
//   --seconds N      stop after N seconds
// POSIX only (the library's UI is the scripted one there):
//   --script FILE|-  UI script lines fed to the library as they are read
//                    (platform/scripted_ui.h); the window keeps running when
//                    they run out, until a stop request or a `quit` step
//   --timestamps     transcript lines carry milliseconds since the start
//   --drive X=DIR    maps drive X to DIR (repeatable); the drive is present
//                    while DIR exists
// The transcript goes to standard output (see tools/common/text_output.h).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <thread>

#include "platform/detached_thread.h"
#include "platform/dynamic_library.h"
#include "platform/environment.h"
#include "platform/host_dir.h"
#include "platform/pipe.h"
#include "platform/stop_request.h"
#include "platform/thread_quit.h"
#include "tools/common/seconds_arg.h"
#include "tools/host/commands.h"
#include "tools/host/shipped_library.h"
#include "tools/host/output.h"

namespace torvane::host {
namespace {

#ifdef _WIN32
using DoWorkFn = int(__stdcall*)(void*);
constexpr bool kScripted = false;
#else
using DoWorkFn = int (*)(void*);
constexpr bool kScripted = true;
#endif

constexpr auto kStopWait = std::chrono::seconds(10);
constexpr auto kTranscriptWait = std::chrono::seconds(30);

struct Options {
  std::string dir;
  std::string script;  // path, "-" for standard input, empty for none
  long long seconds = -1;
  bool timestamps = false;
  std::string driveMap;
};

int Usage() {
  std::fprintf(stderr,
               "usage: torvane-host run [--dir DIR] [--seconds N] [--script FILE|-] [--timestamps] "
               "[--drive X=DIR]...\n");
  return 2;
}

bool Parse(const Args& args, Options& o) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--dir" && hasValue) {
      o.dir = args[++i];
      if (!o.dir.empty() && o.dir.back() != '/' && o.dir.back() != '\\') o.dir += platform::kPathSeparator;
    } else if (a == "--seconds" && hasValue) {
      if (!tools::ParseSeconds(args[++i], &o.seconds)) {
        std::fprintf(stderr, "torvane-host: %s\n", tools::SecondsRangeText().c_str());
        return false;
      }
    } else if (kScripted && a == "--script" && hasValue) {
      o.script = args[++i];
    } else if (kScripted && a == "--timestamps") {
      o.timestamps = true;
    } else if (kScripted && a == "--drive" && hasValue) {
      const std::string& map = args[++i];
      if (map.size() < 3 || map[1] != '=') return false;
      o.driveMap += (o.driveMap.empty() ? "" : ";") + map;
    } else {
      return false;
    }
  }
  return true;
}

// The library's scripted UI, reached through two pipes (POSIX). The threads
// that feed the script and read the transcript are never joined, so each
// holds what it uses: whatever path the host leaves by, nothing they touch
// is freed under them.
struct ScriptLink {
  std::shared_ptr<platform::Pipe> script;
  std::shared_ptr<platform::Pipe> transcript;
  std::shared_ptr<std::atomic<bool>> transcriptEnded = std::make_shared<std::atomic<bool>>(false);
};

bool OpenScriptLink(const Options& o, ScriptLink& link) {
  std::string error;
  link.script = platform::Pipe::Open(&error);
  if (link.script) link.transcript = platform::Pipe::Open(&error);
  if (!link.transcript) {
    std::fprintf(stderr, "torvane-host: %s\n", error.c_str());
    return false;
  }
  platform::SetEnvironment("TORVANE_HOST_DIR", o.dir);
  platform::SetEnvironment("TORVANE_UI_SCRIPT", link.script->ReaderPath());
  platform::SetEnvironment("TORVANE_UI_TRANSCRIPT", link.transcript->WriterPath());
  platform::SetEnvironment("TORVANE_UI_TIMESTAMPS", o.timestamps ? "1" : "");
  if (!o.driveMap.empty()) platform::SetEnvironment("TORVANE_DRIVE_MAP", o.driveMap);

  if (!o.script.empty()) {
    auto in = std::make_shared<std::ifstream>();
    if (o.script != "-") {
      in->open(o.script, std::ios::binary);
      if (!*in) {
        std::fprintf(stderr, "torvane-host: cannot read %s\n", o.script.c_str());
        return false;
      }
    }
    // Lines go over as they are read, so a script on standard input can
    // follow what happens. The end of the input does not stop the window.
    const bool feeding = platform::StartDetachedThread([in, pipe = link.script] {
      std::istream& from = in->is_open() ? static_cast<std::istream&>(*in) : std::cin;
      for (std::string line; std::getline(from, line);) {
        if (!pipe->Write(line + "\n")) break;
      }
    });
    if (!feeding) {
      std::fprintf(stderr, "torvane-host: no thread to feed the script\n");
      return false;
    }
  }
  if (!platform::StartDetachedThread([pipe = link.transcript, ended = link.transcriptEnded] {
        while (auto line = pipe->ReadLine()) PrintLine(*line);
        ended->store(true);
      })) {
    std::fprintf(stderr, "torvane-host: no thread to read the transcript\n");
    return false;
  }
  return true;
}

template <class Pred>
bool WaitFor(Pred done, std::chrono::steady_clock::duration limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace

int RunLibrary(const Args& args) {
  Options o;
  if (!Parse(args, o)) return Usage();
  const std::string own = platform::ExecutableDirectory();
  const bool given = !o.dir.empty();
  if (!given) o.dir = own;
  // The library is loaded by its full path only.
  std::error_code ec;
  o.dir = std::filesystem::absolute(o.dir, ec).string();
  if (ec || !std::filesystem::is_directory(o.dir, ec)) {
    std::fprintf(stderr, "torvane-host: %s is not a folder\n", o.dir.c_str());
    return 2;
  }
  if (o.dir.back() != '/' && o.dir.back() != '\\') o.dir += platform::kPathSeparator;
  if (!kScripted && given && !std::filesystem::equivalent(o.dir, own, ec)) {
    std::fprintf(stderr,
                 "torvane-host: the library takes its host directory from this program's path; "
                 "copy the program into %s and run it there\n",
                 o.dir.c_str());
    return 2;
  }

  // The library is found before anything else starts: a host that cannot
  // load it leaves with no thread of its own running.
  const std::string path = o.dir + kLibraryName;
  platform::DynamicLibrary library = platform::DynamicLibrary::Open(path);
  if (!library.loaded()) {
    std::fprintf(stderr, "torvane-host: cannot load %s: %s\n", path.c_str(), library.error().c_str());
    return 1;
  }
  const auto doWork = reinterpret_cast<DoWorkFn>(library.Symbol("DoWork"));
  if (!doWork) {
    std::fprintf(stderr, "torvane-host: %s does not export DoWork\n", path.c_str());
    return 1;
  }

  // Held for the whole run (the pipes' ends are named in the environment).
  ScriptLink link;
  if (kScripted && !OpenScriptLink(o, link)) return 1;

  std::string stopError;
  if (!platform::stop_request::Install(&stopError)) {
    std::fprintf(stderr, "torvane-host: %s\n", stopError.c_str());
    return 1;
  }
  std::atomic<std::uint32_t> threadId{0};
  std::atomic<bool> returned{false};
  std::atomic<int> result{-1};
  std::thread worker([&] {
    threadId.store(platform::CurrentThreadId());
    result.store(doWork(nullptr));
    returned.store(true);
    platform::stop_request::Request();  // wakes the wait below
  });
  WaitFor([&] { return threadId.load() != 0 || returned.load() || kScripted; }, std::chrono::seconds(5));
  std::fprintf(stderr, "torvane-host: DoWork running on thread %u\n", static_cast<unsigned>(threadId.load()));

  // Sleeps until a stop signal, the end of --seconds or DoWork's return:
  // an idle host takes no wake-ups of its own.
  std::optional<std::chrono::milliseconds> limit;
  if (o.seconds > 0) limit = std::chrono::seconds(o.seconds);
  platform::stop_request::Wait(limit);

  if (!returned.load()) {
    std::fprintf(stderr, "torvane-host: stopping DoWork\n");
    if (kScripted) {
      link.script->Write("quit\n");
      link.script->CloseWriter();
    }
    // A quit message posted before the thread has its queue is lost, and a
    // nested modal loop (a box shown by the window's own pass) takes one for
    // itself: post again until DoWork returns.
    const auto end = std::chrono::steady_clock::now() + kStopWait;
    while (!returned.load() && std::chrono::steady_clock::now() < end) {
      if (!kScripted) platform::PostQuitMessageTo(threadId.load());
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  if (!returned.load()) {
    std::fprintf(stderr, "torvane-host: DoWork did not return within %lld s\n",
                 static_cast<long long>(kStopWait.count()));
    std::fflush(nullptr);
    std::_Exit(1);
  }
  worker.join();
  std::fprintf(stderr, "torvane-host: DoWork returned %d\n", result.load());
  if (kScripted) {
    // The transcript ends when the library's UI is gone, after the scan
    // threads that still used it.
    link.script->CloseWriter();
    link.transcript->CloseWriter();
    WaitFor([&] { return link.transcriptEnded->load(); }, kTranscriptWait);
  }
  std::fflush(nullptr);
  // The library stays loaded (it pins itself); its threads may still run.
  std::_Exit(result.load() == 0 ? 0 : 1);
}

}  // namespace torvane::host

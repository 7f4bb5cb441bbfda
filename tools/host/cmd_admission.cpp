// torvane-host scan / watch-devices: whole admissions from the command line.
//
//   scan [options]            one scan pass, as the device watch window runs
//                             it at start, over fresh drive slots
//   watch-devices [options]   the device watch window: its start (slot reset,
//                             first pass), then the script's device events
//                             (arrive, remove, timer) and answers, until the
//                             script ends
// Options:
//   --dir DIR          host directory with the suite's configuration files
//                      (the operation log and the warning store go there too)
//   --selvik PATH      the secure-disk library (default: the stand-in built
//                      beside this program, else the platform's search)
//   --script FILE      UI script ("-" for standard input); see
//                      platform/scripted_ui.h. Without it, POSIX dialogs are
//                      cancelled and boxes answered OK; Windows uses its own.
//   --raw              write the transcript's texts as GBK bytes
//                      (--utf8, the default now, is still accepted)
//   --drive X=DIR      POSIX: maps drive X to DIR (repeatable)
// The transcript goes to standard output, then the handled drive slots.
// watch-devices also offers the script hooks "unmap-x" (call unmap-f) that
// take a drive out of the drive map, as pulling the disk would.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "admission/device_watch.h"
#include "admission/production_services.h"
#include "admission/scan_pass.h"
#include "admission/selvik_library.h"
#include "config/host_directory.h"
#include "platform/codepage.h"
#include "platform/drive_map.h"
#include "platform/host_dir.h"
#include "platform/native_ui.h"
#include "platform/scripted_ui.h"
#include "tools/host/commands.h"
#include "tools/selvik/sim_file.h"
#include "tools/host/output.h"

namespace torvane::host {
namespace {

struct Options {
  std::string selvik;
  std::string script;
  bool scripted = false;
};

std::string DefaultSelvik() {
  const std::string here = platform::ExecutableDirectory();
  for (const std::string& candidate : {here + "selvik" + platform::kPathSeparator + admission::SelvikLibraryName(),
                                       here + admission::SelvikLibraryName()}) {
    if (!here.empty() && std::ifstream(candidate).good()) return candidate;
  }
  return {};  // the library's own rule: the host directory
}

int Usage(const char* command) {
  std::fprintf(stderr,
               "usage: torvane-host %s [--dir DIR] [--selvik PATH] [--script FILE|-] [--raw] "
               "[--drive X=DIR]...\n",
               command);
  return 2;
}

bool Parse(const Args& args, Options& o) {
  o.selvik = DefaultSelvik();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--utf8") {
      // UTF-8 is the default; kept for scripts that ask for it.
    } else if (a == "--dir" && hasValue) {
      std::string dir = args[++i];
      if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += platform::kPathSeparator;
      config::SetHostDirectoryOverride(dir);
    } else if (a == "--selvik" && hasValue) {
      // Named on the command line: taken from where the user means, made
      // full here because the library loads nothing by a relative name.
      std::error_code ec;
      o.selvik = std::filesystem::absolute(args[++i], ec).string();
    } else if (a == "--script" && hasValue) {
      const std::string path = args[++i];
      std::ostringstream text;
      if (path == "-") {
        text << std::cin.rdbuf();
      } else {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
          std::fprintf(stderr, "torvane-host: cannot read %s\n", path.c_str());
          return false;
        }
        text << in.rdbuf();
      }
      o.script = text.str();
      o.scripted = true;
    } else if (a == "--drive" && hasValue) {
      const std::string& map = args[++i];
      if (map.size() < 3 || map[1] != '=' || !platform::SetDriveRoot(map[0], map.substr(2))) {
        std::fprintf(stderr, "torvane-host: bad drive mapping %s\n", map.c_str());
        return false;
      }
    } else {
      return false;
    }
  }
  return true;
}

// The UI: scripted when a script was given (and always on POSIX).
std::unique_ptr<platform::Ui> MakeUi(const Options& o, platform::ScriptedUi** scripted) {
  std::string error;
  std::unique_ptr<platform::Ui> ui;
#ifdef _WIN32
  const bool useScript = o.scripted;
#else
  const bool useScript = true;
#endif
  if (useScript) {
    auto s = platform::ScriptedUi::FromText(o.script, &error);
    if (s) {
      s->SetTranscriptSink([](const std::string& line) { PrintLine(line); });
      *scripted = s.get();
      ui = std::move(s);
    }
  } else {
    ui = platform::CreateNativeUi(&error);
  }
  if (!ui) std::fprintf(stderr, "torvane-host: UI script: %s\n", error.c_str());
  return ui;
}

// "call swap-x": the stand-in's spare disk is put in at x (tools/selvik).
void AddSwapHooks(platform::ScriptedUi& ui) {
  for (char c = 'a'; c <= 'z'; ++c) {
    ui.SetHook(std::string("swap-") + c, [c] {
      const char* sim = std::getenv("SELVIK_SIM");
      if (!selvik::SwapSpareDisk(sim && *sim ? sim : "selvik.sim", c))
        std::fprintf(stderr, "torvane-host: no spare disk for %c\n", c);
    });
  }
}

void PrintSlots(const admission::AdmissionState& state) {
  for (int i = 0; i < admission::kDriveCount; ++i) {
    const auto& s = state.slots[static_cast<std::size_t>(i)];
    if (s.handled.load() > 0) {
      PrintLine(std::string("slot ") + static_cast<char>('a' + i) + ": handled, serial " + s.serial + ", VID " +
                s.vid + ", PID " + s.pid);
    }
  }
}

std::shared_ptr<admission::AdmissionServices> Prepare(const Args& args, const char* command,
                                                      platform::ScriptedUi** scripted) {
  Options o;
  if (!Parse(args, o)) {
    Usage(command);
    return nullptr;
  }
  auto ui = MakeUi(o, scripted);
  if (!ui) return nullptr;
  if (*scripted) AddSwapHooks(**scripted);
  auto services = admission::CreateProductionServices(std::move(ui), o.selvik);
  if (!services->Disk()) {
    std::fprintf(stderr, "torvane-host: cannot load the secure-disk library %s\n",
                 (o.selvik.empty() ? admission::SelvikLibraryPath() : o.selvik).c_str());
    return nullptr;
  }
  return services;
}

// Scan threads are not waited for by the window; the host gives them time to
// end before it exits. One still running then would use what the exit
// frees (the tool's statics and the library's), so the host then leaves
// without running any destructor.
void AwaitPasses() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    if (admission::ThreadsRunning() == 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::fprintf(stderr, "torvane-host: %zu scan threads still running after 30 s\n", admission::ThreadsRunning());
  std::fflush(nullptr);
  std::_Exit(1);
}

}  // namespace

int RunScan(const Args& args) {
  platform::ScriptedUi* scripted = nullptr;
  auto services = Prepare(args, "scan", &scripted);
  if (!services) return 1;
  admission::AdmissionState state;
  state.ResetSlots(services->Now());
  admission::RunScanPass(*services, state, nullptr);
  PrintSlots(state);
  return 0;
}

int RunWatchDevices(const Args& args) {
  platform::ScriptedUi* scripted = nullptr;
  auto services = Prepare(args, "watch-devices", &scripted);
  if (!services) return 1;
  if (scripted) {
    for (char c = 'a'; c <= 'z'; ++c) {
      scripted->SetHook(std::string("unmap-") + c, [c] { platform::SetDriveRoot(c, ""); });
    }
  }
  auto state = std::make_shared<admission::AdmissionState>();
  admission::CDeviceMsgDlg window(services, state);
  services->Ui().RunModal(admission::CDeviceMsgDlg::kTemplate, window);
  AwaitPasses();
  PrintSlots(*state);
  return 0;
}

}  // namespace torvane::host

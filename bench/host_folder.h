#pragma once
// A fresh host directory for a benchmark, with the suite's two files, set as
// the library's host directory for its lifetime.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/host_directory.h"
#include "platform/host_dir.h"

namespace torvane::bench {

namespace fs = std::filesystem;

// A fresh host directory with the suite's two files.
class HostFolder {
 public:
  explicit HostFolder(const std::string& web_address) {
    path_ = fs::temp_directory_path() /
            ("torvane-bench-" +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(path_);
    std::ofstream(path_ / "id.cfg", std::ios::binary) << "[KOLMERA]\r\nUID=BENCH-1\r\n";
    std::ofstream(path_ / "kolMera2.ini", std::ios::binary)
        << "[KOLMERA]\r\nWebAddress=" << web_address << "\r\n";
    config::SetHostDirectoryOverride(path_.string() + platform::kPathSeparator);
  }
  ~HostFolder() {
    config::SetHostDirectoryOverride(std::nullopt);
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::uintmax_t StoreSize() const {
    std::error_code ec;
    const auto n = fs::file_size(path_ / "info2.sys", ec);
    return ec ? 0 : n;
  }
  std::string Store() const { return (path_ / "info2.sys").string(); }

 private:
  fs::path path_;
};

}  // namespace torvane::bench

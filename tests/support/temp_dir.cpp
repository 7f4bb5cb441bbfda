#include "support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>

#include "platform/host_dir.h"

namespace torvane::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = fs::temp_directory_path() /
            ("torvane-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    if (fs::create_directory(path_)) return;
  }
  throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::dir() const { return path_.string() + platform::kPathSeparator; }

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
  const fs::path file = path_ / name;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
  return file.string();
}

}  // namespace torvane::test

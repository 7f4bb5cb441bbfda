#pragma once
// A drive letter whose root is an empty folder of the test's own, so tests
// watch "q:\" and see event paths exactly as the system reports them.
// POSIX: a temporary folder put in the drive map. Windows: the letters named
// in TORVANE_TEST_DRIVES, which the test wrapper (wine_drives.sh) points at
// fresh folders; without them the drive tests are skipped.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/drive_map.h"
#include "support/temp_dir.h"

namespace torvane::filewatch::test {

class WatchedDrive {
 public:
  explicit WatchedDrive(char letter) : letter_(letter) {
#ifdef _WIN32
    const char* given = std::getenv("TORVANE_TEST_DRIVES");
    ok_ = given && std::strchr(given, letter_) != nullptr;
    folder_ = std::string(1, letter_) + ":\\";
    if (ok_) Empty();
#else
    temp_ = std::make_unique<torvane::test::TempDir>();
    folder_ = temp_->path();
    ok_ = platform::SetDriveRoot(letter_, folder_.string());
#endif
  }
  ~WatchedDrive() {
#ifdef _WIN32
    if (ok_) Empty();
#else
    platform::SetDriveRoot(letter_, "");
#endif
  }
  WatchedDrive(const WatchedDrive&) = delete;
  WatchedDrive& operator=(const WatchedDrive&) = delete;

  bool ok() const { return ok_; }
  // "q:\"
  std::string root() const { return std::string(1, letter_) + ":\\"; }
  // The path the test uses to change a file below the root ("a/b.txt").
  std::filesystem::path native(const std::string& rel) const {
    return folder_ / std::filesystem::path(rel).make_preferred();
  }
  const std::filesystem::path& folder() const { return folder_; }

  void Write(const std::string& rel, const std::string& bytes) const {
    std::ofstream out(native(rel), std::ios::binary | std::ios::app);
    out << bytes;
  }

 private:
  void Empty() const {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder_, ec))
      std::filesystem::remove_all(e.path(), ec);
  }

  char letter_;
  std::unique_ptr<torvane::test::TempDir> temp_;
  std::filesystem::path folder_;
  bool ok_ = false;
};

}  // namespace torvane::filewatch::test

#pragma once
// A temporary folder that a drive letter points to, so tests watch "q:\"
// and see event paths exactly as the system reports them. POSIX: the drive
// map; Windows: a DOS device for the letter.
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/drive_map.h"
#include "support/temp_dir.h"

namespace torvane::filewatch::test {

class WatchedDrive {
 public:
  explicit WatchedDrive(char letter) : letter_(letter) {
    ok_ = platform::SetDriveRoot(letter_, dir_.path().string());
  }
  ~WatchedDrive() { platform::SetDriveRoot(letter_, ""); }
  WatchedDrive(const WatchedDrive&) = delete;
  WatchedDrive& operator=(const WatchedDrive&) = delete;

  bool ok() const { return ok_; }
  // "q:\"
  std::string root() const { return std::string(1, letter_) + ":\\"; }
  // The native path of a file below the root ("a/b.txt").
  std::filesystem::path native(const std::string& rel) const { return dir_.path() / rel; }
  const std::filesystem::path& folder() const { return dir_.path(); }

  void Write(const std::string& rel, const std::string& bytes) const {
    std::ofstream out(native(rel), std::ios::binary | std::ios::app);
    out << bytes;
  }

 private:
  char letter_;
  torvane::test::TempDir dir_;
  bool ok_ = false;
};

}  // namespace torvane::filewatch::test

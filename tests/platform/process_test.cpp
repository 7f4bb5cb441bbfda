// Starting the formatting program: from its full path only, whatever blanks
// the path holds, and nothing else in its place.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/process.h"
#include "support/temp_dir.h"

namespace torvane::platform {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr char kExe[] = ".exe";
#else
constexpr char kExe[] = "";
#endif

// The program does not wait to be waited for; give it time to run.
bool AppearsWithin(const fs::path& file, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (fs::exists(file)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return fs::exists(file);
}

class CurrentDirectory {
 public:
  explicit CurrentDirectory(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
  ~CurrentDirectory() { fs::current_path(old_); }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  fs::path old_;
};

// "<root>\Program Files\Suite\UsbDiskFormat.exe" unquoted would first be
// taken as "<root>\Program.exe" with arguments; a program planted there must
// not be the one that runs.
TEST(StartProgram, StartsTheProgramItsPathNamesThroughBlanks) {
  test::TempDir root;
  const fs::path folder = root.path() / "Program Files" / "Suite Dir";
  fs::create_directories(folder);
  const fs::path program = folder / (std::string("UsbDiskFormat") + kExe);
  fs::copy_file(TORVANE_START_PROBE, program);
  fs::copy_file(TORVANE_START_PROBE, root.path() / (std::string("Program") + kExe));
  ASSERT_TRUE(StartProgram(program.string()));
  EXPECT_TRUE(AppearsWithin(folder / "started.txt", std::chrono::seconds(60)));
  EXPECT_FALSE(fs::exists(root.path() / "started.txt")) << "the planted program ran";
}

// A bare or relative name would be looked for in the current directory.
TEST(StartProgram, OnlyFullPathsAreStarted) {
  test::TempDir here;
  const std::string name = std::string("UsbDiskFormat") + kExe;
  fs::copy_file(TORVANE_START_PROBE, here.path() / name);
  CurrentDirectory cd(here.path());
  EXPECT_FALSE(StartProgram(name));
  EXPECT_FALSE(StartProgram(std::string(".") + static_cast<char>(fs::path::preferred_separator) + name));
  EXPECT_FALSE(StartProgram(""));
  EXPECT_FALSE(StartProgram((here.path() / "missing").string()));
  EXPECT_FALSE(fs::exists(here.path() / "started.txt"));
}

}  // namespace
}  // namespace torvane::platform

#pragma once
// A fresh host directory (operation log, store) and, on POSIX, a fresh state
// folder (registry stand-in, named flags) for each test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "config/check_value.h"
#include "config/host_directory.h"
#include "platform/registry.h"
#include "support/temp_dir.h"

namespace torvane::test {

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    ::setenv("TORVANE_STATE_DIR", state_.path().string().c_str(), 1);
#endif
    config::SetHostDirectoryOverride(host_.dir());
  }
  void TearDown() override {
    config::SetHostDirectoryOverride(std::nullopt);
#ifndef _WIN32
    ::unsetenv("TORVANE_STATE_DIR");
#endif
  }

  std::string Path(const std::string& name) const { return host_.dir() + name; }
  std::string Store() const { return Path("info2.sys"); }

  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string Log() const { return Slurp(Path("usboperror.log")); }

  static std::optional<std::uint32_t> Check() {
    auto key = platform::LocalMachineKey::OpenOrCreate(config::kCheckKey);
    if (!key) return std::nullopt;
    return key->ReadDword(config::kCheckValue);
  }

  TempDir host_;
#ifndef _WIN32
  TempDir state_;
#endif
};

}  // namespace torvane::test

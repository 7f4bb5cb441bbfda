#pragma once
// A test fixture with a state folder of its own: on POSIX the named flags,
// atoms and the registry stand-in live there, so tests never meet each
// other's (on Windows they are the system's).
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace torvane::test {

class OwnStateDirTest : public ::testing::Test {
 protected:
#ifndef _WIN32
  void SetUp() override { ::setenv("TORVANE_STATE_DIR", state_.path().string().c_str(), 1); }
  void TearDown() override { ::unsetenv("TORVANE_STATE_DIR"); }
  TempDir state_;
#endif
};

}  // namespace torvane::test

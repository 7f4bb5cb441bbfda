#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/named_flag.h"
#include "support/temp_dir.h"

namespace torvane::platform {
namespace {

class NamedFlagTest : public ::testing::Test {
 protected:
#ifndef _WIN32
  void SetUp() override { ::setenv("TORVANE_STATE_DIR", state_.path().string().c_str(), 1); }
  void TearDown() override { ::unsetenv("TORVANE_STATE_DIR"); }
  test::TempDir state_;
#endif
};

TEST_F(NamedFlagTest, SecondCreatorSeesItUntilTheHolderLetsGo) {
  const std::string name = "Global_TorvaneTestFlag_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed());
  NamedFlag first = NamedFlag::Create(name);
  ASSERT_EQ(first.status(), NamedFlag::Status::kCreated);
  NamedFlag second = NamedFlag::Create(name);
  EXPECT_EQ(second.status(), NamedFlag::Status::kAlreadyExists);
  EXPECT_FALSE(second.held());
  first.Release();
  NamedFlag third = NamedFlag::Create(name);
  EXPECT_TRUE(third.held());
  NamedFlag moved = std::move(third);
  EXPECT_TRUE(moved.held());
  EXPECT_EQ(NamedFlag::Create(name).status(), NamedFlag::Status::kAlreadyExists);
}

}  // namespace
}  // namespace torvane::platform

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/named_flag.h"
#include "support/state_dir_fixture.h"
#include "support/temp_dir.h"

namespace torvane::platform {
namespace {

class NamedFlagTest : public test::OwnStateDirTest {};

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

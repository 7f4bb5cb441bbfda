#include <gtest/gtest.h>

#include <cstring>

#include "admission/selvik_library.h"
#include "support/admission_env.h"

namespace torvane::admission {
namespace {

constexpr char kDisks[] =
    "[drive e]\n"
    "vid = 0951\npid = 1666\nserial = SER-0001\nclassified = 1\n"
    "owner = Owner One\ngeneral = 1\ncheck_user = 1\n"
    "auth = 00112233445566778899AABBCCDDEEFF 1 3 -5 0x10\n"
    "auth = FFEEDDCCBBAA99887766554433221100 0 0 7 0xFFFFFFFF\n"
    "password = abc12345\ntry_limit = 2\n"
    "[drive g]\n"
    "vid = ABCDEFG\npid = 12\nserial = PLAIN\nclassified = 0\nopen_udisk = 0\n";

TEST(SelvikLibrary, MissingLibraryOrFunctionIsAnErrorNotACrash) {
  SelvikLoad none = LoadSelvikLibrary(std::string(TORVANE_SELVIK_PATH) + ".missing");
  EXPECT_EQ(none.disk, nullptr);
  EXPECT_EQ(none.error.rfind("Error: ", 0), 0u) << none.error;
  // A library that loads but lacks the functions.
  SelvikLoad other = LoadSelvikLibrary(TORVANE_NOT_SELVIK_PATH);
  EXPECT_EQ(other.disk, nullptr);
  EXPECT_NE(other.error.find("lacks VX_GetUsbStorageDriver"), std::string::npos) << other.error;
}

// Only a full path is loaded: a bare or relative name would be looked for
// along the search order, the current directory included.
TEST(SelvikLibrary, NamesThatAreNotFullPathsAreRefused) {
  const std::string full = TORVANE_SELVIK_PATH;
  const std::string name = full.substr(full.find_last_of("/\\") + 1);
  for (const std::string& path : {name, "./" + name, std::string("sub/") + name, std::string()}) {
    SelvikLoad load = LoadSelvikLibrary(path);
    EXPECT_EQ(load.disk, nullptr) << path;
    EXPECT_NE(load.error.find("not a full path"), std::string::npos) << load.error;
  }
  EXPECT_NE(LoadSelvikLibrary(full).disk, nullptr);
}

// The stand-in, loaded through the real loader, answers through every
// binding with the right argument order and record layout.
TEST(SelvikLibrary, StandInAnswersThroughTheLoadedFunctions) {
  test::SimulatedDisks sim(kDisks);
  auto disk = test::LoadStandIn();
  ASSERT_NE(disk, nullptr);
  EXPECT_EQ(disk->GetUsbStorageDriver(), (1u << 4) | (1u << 6));

  char vid[kVidSize], pid[kPidSize], serial[kSerialSize];
  ASSERT_EQ(disk->GetUDiskInfoByDriver('g', vid, pid, serial), 0);
  EXPECT_STREQ(vid, "ABCD");  // cut to the 5-byte buffer
  EXPECT_STREQ(pid, "12");
  EXPECT_STREQ(serial, "PLAIN");
  EXPECT_NE(disk->GetUDiskInfoByDriver('h', vid, pid, serial), 0);
  EXPECT_EQ(disk->IsDIZaraz('g'), 0);
  EXPECT_EQ(disk->OpenUDisk('g'), 0);

  ASSERT_NE(disk->IsDIZaraz('e'), 0);
  RegInfo reg{};
  ASSERT_EQ(disk->LoadRegInfo(&reg), 0);
  // Packed fields are compared as values (unary +): no reference to them.
  EXPECT_STREQ(reg.ownerName, "Owner One");
  EXPECT_EQ(+reg.authCount, 2);
  EXPECT_EQ(+reg.generalAllowed, 1);
  EXPECT_EQ(+reg.checkUser, 1);

  AuthEntry list[2];
  ASSERT_EQ(disk->LoadAuthList(2, list), 0);
  EXPECT_EQ(list[0].unitId[0], 0x00);
  EXPECT_EQ(list[0].unitId[15], 0xFF);
  EXPECT_EQ(+list[0].useLimited, 1);
  EXPECT_EQ(+list[0].usesLeft, 3);
  EXPECT_EQ(+list[0].accessValue, -5);
  EXPECT_EQ(+list[0].fieldMask, 0x10u);
  EXPECT_EQ(+list[1].fieldMask, 0xFFFFFFFFu);

  list[0].usesLeft = 2;
  ASSERT_EQ(disk->SaveAuthList(2, list), 0);
  AuthEntry again[2];
  ASSERT_EQ(disk->LoadAuthList(2, again), 0);
  EXPECT_EQ(+again[0].usesLeft, 2);

  EXPECT_EQ(disk->TryUserPasswd("wrong"), 1);
  EXPECT_EQ(disk->TryUserPasswd("abc12345"), 0);  // resets the count
  EXPECT_EQ(disk->OpenSecDisk("abc12345", 'e', -5), 0);
  EXPECT_EQ(sim.Value("drive e", "access"), "-5");
  EXPECT_EQ(disk->ChangeUserPasswd("abc12345", "new12345"), 0);
  EXPECT_EQ(disk->TryUserPasswd("abc12345"), 1);
  EXPECT_EQ(disk->TryUserPasswd("abc12345"), 1);
  EXPECT_EQ(disk->TryUserPasswd("new12345"), kPasswdTooManyTries);  // limit reached
  EXPECT_EQ(sim.Value("drive e", "password"), "new12345");
  EXPECT_EQ(sim.Calls().front(), "VX_GetUsbStorageDriver -> 80");
}

}  // namespace
}  // namespace torvane::admission

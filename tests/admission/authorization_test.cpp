#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "admission/authorization.h"
#include "admission/event_text.h"
#include "admission/texts.h"
#include "support/admission_fixture.h"

namespace torvane::admission {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(FieldMask, ReadsHexLikeStrtolAndClampsToThirtyTwoBits) {
  EXPECT_EQ(ParseFieldMask(""), 0);
  EXPECT_EQ(ParseFieldMask("zz"), 0);
  EXPECT_EQ(ParseFieldMask("10"), 0x10);
  EXPECT_EQ(ParseFieldMask("0x10"), 0x10);
  EXPECT_EQ(ParseFieldMask("  \t0X1fz9"), 0x1F);
  EXPECT_EQ(ParseFieldMask("+a"), 0xA);
  EXPECT_EQ(ParseFieldMask("-1"), -1);
  EXPECT_EQ(ParseFieldMask("0x"), 0);
  EXPECT_EQ(ParseFieldMask("7FFFFFFF"), 0x7FFFFFFF);
  EXPECT_EQ(ParseFieldMask("80000000"), 0x7FFFFFFF);
  EXPECT_EQ(ParseFieldMask("FFFFFFFFFFFFFFFFFFFFFFFF"), 0x7FFFFFFF);
  EXPECT_EQ(ParseFieldMask("-80000000"), INT32_MIN);
  EXPECT_EQ(ParseFieldMask("-80000001"), INT32_MIN);
}

TEST(UnitId, IsThirtyTwoUpperCaseHexDigitsInByteOrder) {
  AuthEntry e{};
  for (int i = 0; i < 16; ++i) e.unitId[i] = static_cast<std::uint8_t>(i * 17 + 10);
  EXPECT_EQ(UnitIdHex(e), "0A1B2C3D4E5F708192A3B4C5D6E7F809");
}

// A library that serves one disk's list from memory.
class ListDisk final : public SecureDisk {
 public:
  std::vector<AuthEntry> list;
  std::int32_t loadResult = 0, saveResult = 0;
  int loads = 0;
  std::vector<AuthEntry> saved;
  std::uint32_t GetUsbStorageDriver() override { return 0; }
  std::int32_t GetUDiskInfoByDriver(int, char*, char*, char*) override { return -1; }
  std::int32_t IsDIZaraz(int) override { return 1; }
  std::int32_t OpenUDisk(int) override { return 1; }
  std::int32_t LoadRegInfo(RegInfo*) override { return 0; }
  std::int32_t LoadAuthList(std::int32_t count, AuthEntry* entries) override {
    ++loads;
    for (std::int32_t i = 0; i < count && static_cast<std::size_t>(i) < list.size(); ++i) entries[i] = list[static_cast<std::size_t>(i)];
    return loadResult;
  }
  std::int32_t SaveAuthList(std::int32_t count, AuthEntry* entries) override {
    saved.assign(entries, entries + count);
    return saveResult;
  }
  std::int32_t TryUserPasswd(const char*) override { return 0; }
  std::int32_t OpenSecDisk(const char*, int, int) override { return 0; }
  std::int32_t ChangeUserPasswd(const char*, const char*) override { return 0; }
};

AuthEntry Entry(std::uint8_t firstByte, std::uint32_t mask, std::uint16_t limited, std::uint16_t left,
                std::int8_t access = 0) {
  AuthEntry e{};
  e.unitId[0] = firstByte;
  e.fieldMask = mask;
  e.useLimited = limited;
  e.usesLeft = left;
  e.accessValue = access;
  return e;
}
const std::string kUnitAB = "AB000000000000000000000000000000";

class AuthorizationTest : public test::AdmissionTest {
 protected:
  void SetUp() override { Start("", ""); }
  std::optional<AuthorizationList> Check() {
    return CheckAuthorization(*services_, disk_, reg_, 'e', "SN1", nullptr);
  }
  // Expects one refusal: reported, then shown with the failure caption.
  void ExpectRefused(const std::string& text) {
    EXPECT_THAT(services_->Reports(), ElementsAre(text));
    EXPECT_THAT(services_->Boxes(), ElementsAre(test::BoxLine(0, text::kCaptionFailure, 0x30, text)));
  }
  ListDisk disk_;
  RegInfo reg_{};
};

std::string T(const EventText& t) { return std::string(t.view()); }

TEST_F(AuthorizationTest, NoEntriesOrAnImplausibleCountIsRefusedWithoutLoading) {
  reg_.authCount = 0;
  EXPECT_FALSE(Check());
  ExpectRefused(T(FormatEventText(text::kNoAuthInfo, 'e', "SN1")));
  reg_.authCount = kMaxAuthCount + 1;
  services_->ui = platform::ScriptedUi::FromText("", nullptr);
  EXPECT_FALSE(Check());
  EXPECT_EQ(disk_.loads, 0);
  EXPECT_EQ(services_->Reports().back(), T(FormatEventText(text::kLoadAuthFailed, 'e', "SN1", -1)));
  ASSERT_EQ(services_->Logs().size(), 1u);
  EXPECT_EQ(services_->Logs()[0].rfind("Error: ", 0), 0u);
}

TEST_F(AuthorizationTest, LoadFailureCarriesTheLibraryCode) {
  reg_.authCount = 1;
  disk_.loadResult = 42;
  EXPECT_FALSE(Check());
  ExpectRefused(T(FormatEventText(text::kLoadAuthFailed, 'e', "SN1", 42)));
}

TEST_F(AuthorizationTest, UnitMustMatchInUpperCaseAndFieldBitsMustAllBeThere) {
  reg_.authCount = 3;
  disk_.list = {Entry(0xAB, 0x01, 0, 0), Entry(0xCD, 0xFF, 0, 0), Entry(0xAB, 0x13, 0, 0, 9)};
  Configure({.unitId = "ab000000000000000000000000000000"});
  EXPECT_FALSE(Check()) << "lower-case UNITID never matches";
  ExpectRefused(T(FormatEventText(text::kNotAuthorized, 'e', "SN1")));

  Configure({.unitId = kUnitAB, .fieldId = "0x12"});
  auto list = Check();
  ASSERT_TRUE(list);
  EXPECT_EQ(list->matched, 2u);
  EXPECT_EQ(list->entries.size(), 3u);
  Configure({.unitId = kUnitAB, .fieldId = ""});  // F = 0: the unit alone decides
  EXPECT_EQ(Check()->matched, 0u);
}

TEST_F(AuthorizationTest, OnlyTheFirstMatchCounts) {
  reg_.authCount = 2;
  disk_.list = {Entry(0xAB, 0, 1, 0), Entry(0xAB, 0, 1, 5)};
  Configure({.unitId = kUnitAB});
  EXPECT_FALSE(Check());
  ExpectRefused(T(FormatEventText(text::kUsesExhausted, 'e', "SN1")));
}

TEST_F(AuthorizationTest, OwnerMustBeTheTerminalsUserWhenTheDiskSaysSo) {
  reg_.authCount = 1;
  reg_.checkUser = 1;
  std::strcpy(reg_.ownerName, "Li");
  disk_.list = {Entry(0xAB, 0, 0, 0)};
  Configure({.user = "li", .unitId = kUnitAB});
  EXPECT_FALSE(Check());
  ExpectRefused(T(FormatEventText(text::kUserMismatch, 'e', "SN1", "Li", "li")));
  Configure({.user = "Li", .unitId = kUnitAB});
  EXPECT_TRUE(Check());
  reg_.checkUser = 2;  // only exactly 1 asks for the check
  Configure({.user = "other", .unitId = kUnitAB});
  EXPECT_TRUE(Check());
}

TEST_F(AuthorizationTest, ConsumingAUseStoresTheWholeListOnlyWhenUsesAreCounted) {
  AuthorizationList list{{Entry(0xAB, 0, 0, 0), Entry(0xAB, 0, 1, 1)}, 0};
  ConsumeUse(*services_, disk_, list, 'e', "SN1", nullptr);
  EXPECT_TRUE(disk_.saved.empty());
  EXPECT_THAT(services_->Reports(), IsEmpty());

  list.matched = 1;
  ConsumeUse(*services_, disk_, list, 'e', "SN1", nullptr);
  ASSERT_EQ(disk_.saved.size(), 2u);
  EXPECT_EQ(+disk_.saved[1].usesLeft, 0);
  const std::string consumed = T(FormatEventText(text::kUseConsumed, 'e', "SN1"));
  EXPECT_THAT(services_->Reports(), ElementsAre(consumed));
  EXPECT_THAT(services_->Boxes(), ElementsAre(test::BoxLine(0, text::kCaptionNotice, 0x40, consumed)));

  disk_.saveResult = 3;
  list.entries[1].usesLeft = 4;
  ConsumeUse(*services_, disk_, list, 'e', "SN1", nullptr);
  EXPECT_EQ(services_->Reports().back(), T(FormatEventText(text::kUseConsumeFailed, 'e', "SN1", 3)));
  EXPECT_EQ(services_->Boxes().size(), 1u) << "no box for a failed store";
}

// The last counted use admits once; the next insertion finds it used up.
TEST_F(AuthorizationTest, LastUseAdmitsThenRefuses) {
  reg_.authCount = 1;
  disk_.list = {Entry(0xAB, 0, 1, 1)};
  Configure({.unitId = kUnitAB});
  auto list = Check();
  ASSERT_TRUE(list);
  ConsumeUse(*services_, disk_, *list, 'e', "SN1", nullptr);
  disk_.list = disk_.saved;
  EXPECT_FALSE(Check());
  EXPECT_EQ(services_->Reports().back(), T(FormatEventText(text::kUsesExhausted, 'e', "SN1")));
}

}  // namespace
}  // namespace torvane::admission

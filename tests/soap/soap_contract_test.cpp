#include <gtest/gtest.h>

#include <set>
#include <string>

#include "soap/dedu_razivor.h"
#include "soap/xsd_type.h"

namespace torvane::soap {
namespace {

TEST(DeduRazivorContract, NameHashRule) {
  EXPECT_EQ(NameHash("guid"), 0x003A7AA9u);
  EXPECT_EQ(NameHash(u"guid"), 0x003A7AA9u);
  EXPECT_EQ(NameHash(""), 0u);
}

TEST(DeduRazivorContract, FifteenOperationsWithConsistentDescriptors) {
  const auto ops = DeduRazivorOperations();
  ASSERT_EQ(ops.size(), 15u);
  EXPECT_EQ(ops[0].name, "getPolicyFileAuditControl");
  EXPECT_EQ(ops[12].name, "register");
  EXPECT_EQ(ops[kInfoWarn].name, "infoWarn");
  std::set<std::string_view> names;
  for (const auto& op : ops) {
    names.insert(op.name);
    EXPECT_EQ(op.name_hash, NameHash(op.name));
    EXPECT_EQ(NameHash(op.wide_name), op.name_hash);
    EXPECT_EQ(op.ns, kServiceUrl);
    EXPECT_EQ(op.ns_hash, NameHash(op.ns));
    EXPECT_TRUE(op.headers.empty());
    EXPECT_EQ(op.style, kStyleRpc | kStyleEncoded);
    ASSERT_FALSE(op.params.empty());
    const auto& ret = op.params.back();
    EXPECT_EQ(ret.name, std::string(op.name) + "Return");
    EXPECT_EQ(ret.type, kXsdLong);
    EXPECT_FALSE(ret.flags & kParamNullable);
    std::size_t outputs = 0;
    for (std::size_t i = 0; i < op.params.size(); ++i) {
      const auto& p = op.params[i];
      EXPECT_EQ(p.place, i);
      EXPECT_EQ(p.name_hash, NameHash(p.name)) << p.name;
      EXPECT_EQ(NameHash(p.wide_name), p.name_hash) << p.name;
      EXPECT_TRUE(p.ns.empty());
      if (p.type == kXsdString) {
        EXPECT_TRUE(p.flags & kParamNullable) << p.name;
      }
      if (p.flags & kParamOut) ++outputs;
    }
    EXPECT_EQ(outputs, op.output_count) << op.name;
    EXPECT_EQ(op.record_size, op.params.size());
  }
  EXPECT_EQ(names.size(), 15u);
  const auto& reg = ops[kRegister].params;
  ASSERT_EQ(reg.size(), 13u);
  EXPECT_EQ(reg[3].name, "departmentId");
  EXPECT_EQ(reg[3].type, kXsdLong);
  const auto& warn = ops[kInfoWarn].params;
  ASSERT_EQ(warn.size(), 5u);
  EXPECT_EQ(warn[kInfoWarnLogType].type, kXsdLong);
  EXPECT_EQ(warn[kInfoWarnMemos].name, "memos");
}

TEST(DeduRazivorContract, ServiceUrlEndsInThePath) {
  const std::string url = kServiceUrl;
  EXPECT_EQ(url.rfind("http://", 0), 0u);
  EXPECT_NE(url.find(":8080/WebDeduRazivor/services/DeduRazivor"), std::string::npos);
}

}  // namespace
}  // namespace torvane::soap

// Outputs given by reference to an independent element of the same Body, as
// a common Java SOAP engine answers with its default settings.
#include <gtest/gtest.h>

#include <string>

#include "soap/response_parser.h"
#include "soap/soap_reply_fixture.h"

namespace torvane::soap::test {
namespace {

constexpr char kEnc[] = "http://schemas.xmlsoap.org/soap/encoding/";

std::string Target(const std::string& id, const std::string& value,
                   const std::string& type = "xsd:long") {
  return "<multiRef id=\"" + id + "\" soapenc:root=\"0\" soapenv:encodingStyle=\"" + kEnc +
         "\" xsi:type=\"" + type + "\" xmlns:soapenc=\"" + kEnc + "\">" + value + "</multiRef>";
}

std::string Response(const std::string& inside) {
  return "<ns1:infoWarnResponse soapenv:encodingStyle=\"" + std::string(kEnc) +
         "\" xmlns:ns1=\"urn:x\">" + inside + "</ns1:infoWarnResponse>";
}

class MultiRefReply : public ReplyTest {
 protected:
  bool Parse(const std::string& body, std::int64_t* answer = nullptr) {
    const auto& op = DeduRazivorOperations()[kInfoWarn];
    ParamRecord record(op.record_size);
    const bool ok = ParseResponse(*reader_, body, op, record);
    if (ok && answer) *answer = record[kInfoWarnReturn].signed_value;
    if (!ok) {
      EXPECT_TRUE(record[kInfoWarnReturn].is_null());
    }
    return ok;
  }
};

TEST_F(MultiRefReply, ScalarByReferenceBeforeOrAfterTheResponse) {
  std::int64_t v = -1;
  const std::string ref = Response("<infoWarnReturn href=\"#id0\"/>");
  ASSERT_TRUE(Parse(InBody(ref + Target("id0", "0")), &v));
  EXPECT_EQ(v, 0);
  ASSERT_TRUE(Parse(InBody(Target("id0", "17") + ref), &v));
  EXPECT_EQ(v, 17);
  // White space and unreferenced targets around it change nothing.
  ASSERT_TRUE(Parse(InBody("\n " + Target("other", "5") + "\n " + ref + "\n " +
                           Target("id0", "-3") + "\n"),
                    &v));
  EXPECT_EQ(v, -3);
  // Text in pieces is joined.
  ASSERT_TRUE(Parse(InBody(ref + Target("id0", "4<![CDATA[2]]>")), &v));
  EXPECT_EQ(v, 42);
}

TEST_F(MultiRefReply, RefusesUnresolvedRepeatedOrChainedReferences) {
  const std::string ref = Response("<infoWarnReturn href=\"#id0\"/>");
  EXPECT_FALSE(Parse(InBody(ref))) << "no target";
  EXPECT_FALSE(Parse(InBody(ref + Target("id1", "0")))) << "other id";
  EXPECT_FALSE(Parse(InBody(Response("<infoWarnReturn href=\"id0\"/>") + Target("id0", "0"))))
      << "no #";
  EXPECT_FALSE(Parse(InBody(Response("<infoWarnReturn href=\"#\"/>") + Target("", "0"))));
  EXPECT_FALSE(Parse(InBody(ref + Target("id0", "0") + Target("id0", "1")))) << "id twice";
  EXPECT_FALSE(Parse(InBody(ref + "<multiRef id=\"id0\" href=\"#id1\"/>" + Target("id1", "0"))))
      << "chain";
  EXPECT_FALSE(Parse(InBody(ref + Target("id0", "<v>1</v>")))) << "structure for a scalar";
  EXPECT_FALSE(Parse(InBody(ref + Target("id0", "")))) << "empty";
  EXPECT_FALSE(Parse(InBody(ref + Target("id0", "12x")))) << "not a long";
  EXPECT_FALSE(Parse(InBody(ref + "<multiRef id=\"id0\" xsi:nil=\"true\"/>"))) << "nil, not nullable";
  EXPECT_FALSE(Parse(InBody(Response("<infoWarnReturn href=\"#id0\">5</infoWarnReturn>") +
                            Target("id0", "0"))))
      << "a reference has no content";
  // The target must be in the same Body.
  EXPECT_FALSE(Parse(std::string(kEnvOpen) + "<soapenv:Body>" + ref + "</soapenv:Body>" +
                     Target("id0", "0") + kEnvClose));
}

TEST_F(MultiRefReply, BoundsOnTargets) {
  std::string many;
  for (std::size_t i = 0; i < MultiRefTable::kMaxTargets; ++i)
    many += Target("t" + std::to_string(i), "1");
  const std::string ref = Response("<infoWarnReturn href=\"#t7\"/>");
  std::int64_t v = -1;
  ASSERT_TRUE(Parse(InBody(many + ref), &v));
  EXPECT_EQ(v, 1);
  EXPECT_FALSE(Parse(InBody(many + Target("one-more", "1") + ref)));
  const std::string longId(MultiRefTable::kMaxIdLength + 1, 'i');
  EXPECT_FALSE(Parse(InBody(Response("<infoWarnReturn href=\"#" + longId + "\"/>") +
                            Target(longId, "1"))));
}

// Strings and nil by reference, in an operation with several outputs.
TEST_F(ReplyTest, StringsAndNilByReference) {
  const auto& op = DeduRazivorOperations()[kGetPolicyTargetAddress];
  ParamRecord record(op.record_size);
  ASSERT_TRUE(ParseResponse(
      *reader_,
      InBody(Target("a", "x &amp; \xe4\xb8\xad", "xsd:string") +
             "<r><getPolicyTargetAddressReturn href=\"#b\"/><pingAddresses href=\"#a\"/>"
             "<httpAddresses href=\"#c\"/></r>" +
             Target("b", "2") + "<multiRef id=\"c\" xsi:nil=\"true\"/>"),
      op, record));
  EXPECT_EQ(record[1].text, u"x & \u4E2D");
  EXPECT_TRUE(record[2].is_null());
  EXPECT_EQ(record[3].signed_value, 2);
  // Two outputs may not share one target.
  EXPECT_FALSE(ParseResponse(
      *reader_,
      InBody("<r><getPolicyTargetAddressReturn>1</getPolicyTargetAddressReturn>"
             "<pingAddresses href=\"#a\"/><httpAddresses href=\"#a\"/></r>" +
             Target("a", "x", "xsd:string")),
      op, record));
}

}  // namespace
}  // namespace torvane::soap::test

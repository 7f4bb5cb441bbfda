#include <gtest/gtest.h>

#include <string>

#include "soap/response_parser.h"
#include "soap/soap_reply_fixture.h"

namespace torvane::soap::test {
namespace {

class InfoWarnReply : public ReplyTest {
 protected:
  // True with the value of infoWarnReturn when the reply is accepted.
  bool Parse(const std::string& body, std::int64_t* answer = nullptr) {
    const auto& op = DeduRazivorOperations()[kInfoWarn];
    ParamRecord record(op.record_size);
    record[kInfoWarnReturn] = SoapValue::Signed(99);
    const bool ok = ParseResponse(*reader_, body, op, record);
    if (ok) {
      EXPECT_EQ(record[kInfoWarnReturn].kind, SoapValue::Kind::kSigned);
      if (answer) *answer = record[kInfoWarnReturn].signed_value;
    } else {
      EXPECT_TRUE(record[kInfoWarnReturn].is_null()) << "outputs are cleared on failure";
    }
    return ok;
  }
  static std::string Return(const std::string& value) {
    return InBody("<ns1:infoWarnResponse xmlns:ns1=\"urn:x\"><infoWarnReturn xsi:type=\"xsd:long\">" +
                  value + "</infoWarnReturn></ns1:infoWarnResponse>");
  }
};

TEST_F(InfoWarnReply, ReadsTheAnswer) {
  std::int64_t v = -1;
  ASSERT_TRUE(Parse(Return("0"), &v));
  EXPECT_EQ(v, 0);
  ASSERT_TRUE(Parse(Return("5"), &v));
  EXPECT_EQ(v, 5);
  ASSERT_TRUE(Parse(Return(" 7"), &v));
  EXPECT_EQ(v, 7);
  ASSERT_TRUE(Parse(Return("-9223372036854775808"), &v));
  EXPECT_EQ(v, INT64_MIN);
  ASSERT_TRUE(Parse("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + Return("+3"), &v));
  EXPECT_EQ(v, 3);
}

TEST_F(InfoWarnReply, AnyResponseElementName) {
  std::int64_t v = -1;
  ASSERT_TRUE(Parse(InBody("<whatever><infoWarnReturn>4</infoWarnReturn></whatever>"), &v));
  EXPECT_EQ(v, 4);
  ASSERT_TRUE(Parse(InBody("<a:x xmlns:a=\"urn:other\"><b:infoWarnReturn xmlns:b=\"urn:b\">6"
                           "</b:infoWarnReturn></a:x>"),
                    &v));
  EXPECT_EQ(v, 6);
}

TEST_F(InfoWarnReply, RefusesBadReturnElements) {
  EXPECT_FALSE(Parse(Return(""))) << "empty";
  EXPECT_FALSE(Parse(InBody("<r><infoWarnReturn/></r>"))) << "empty, self-closed";
  EXPECT_FALSE(Parse(InBody("<r><infoWarnReturn xsi:nil=\"true\"/></r>"))) << "nil";
  EXPECT_FALSE(Parse(InBody("<r><infoWarnReturn xsi:nil=\"1\"></infoWarnReturn></r>"))) << "nil";
  EXPECT_FALSE(Parse(Return("12x")));
  EXPECT_FALSE(Parse(Return("7 ")));
  EXPECT_FALSE(Parse(Return("9223372036854775808"))) << "overflow";
  EXPECT_FALSE(Parse(Return(" ")));
  EXPECT_FALSE(Parse(InBody("<r><infoWarnReturn>1</infoWarnReturn><extra>1</extra></r>")));
  EXPECT_FALSE(Parse(InBody("<r><infoWarnReturn>1</infoWarnReturn><infoWarnReturn>1"
                            "</infoWarnReturn></r>")));
  EXPECT_FALSE(Parse(InBody("<r><logType>1</logType></r>"))) << "an input is not an output";
  EXPECT_FALSE(Parse(InBody("<r></r>"))) << "missing";
  EXPECT_FALSE(Parse(InBody("<r><infoWarnReturn>1<b/></infoWarnReturn></r>"))) << "child";
  EXPECT_FALSE(Parse(InBody("<r><infoWarnReturn href=\"#id0\"/></r>")));
}

TEST_F(InfoWarnReply, RefusesBrokenEnvelopes) {
  EXPECT_FALSE(Parse(""));
  EXPECT_FALSE(Parse("not xml"));
  EXPECT_FALSE(Parse(Return("1").substr(0, 200))) << "truncated";
  EXPECT_FALSE(Parse(std::string(kEnvOpen) + "<soapenv:Body></soapenv:Body>" + kEnvClose))
      << "no response element";
  EXPECT_FALSE(Parse(std::string(kEnvOpen) + kEnvClose)) << "no body";
  EXPECT_FALSE(Parse("<Envelope><Body><r><infoWarnReturn>0</infoWarnReturn></r></Body></Envelope>"))
      << "no namespace";
  // SOAP 1.2 fails at its first element.
  EXPECT_FALSE(Parse("<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Body>"
                     "<r><infoWarnReturn>0</infoWarnReturn></r></e:Body></e:Envelope>"));
  EXPECT_FALSE(Parse("<soapenv:Body xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                     "<r><infoWarnReturn>0</infoWarnReturn></r></soapenv:Body>"))
      << "Body before Envelope";
}

TEST_F(InfoWarnReply, ForeignHeaders) {
  const std::string tail =
      "<soapenv:Body><r><infoWarnReturn>0</infoWarnReturn></r></soapenv:Body>" +
      std::string(kEnvClose);
  auto with_header = [&](const std::string& entry) {
    return std::string(kEnvOpen) + "<soapenv:Header>" + entry + "</soapenv:Header>" + tail;
  };
  EXPECT_TRUE(Parse(with_header("<h:session xmlns:h=\"urn:h\"><h:id>1<x/></h:id></h:session>")));
  EXPECT_TRUE(Parse(with_header("<h:s xmlns:h=\"urn:h\" soapenv:mustUnderstand=\"0\"/>")));
  EXPECT_FALSE(Parse(with_header("<h:s xmlns:h=\"urn:h\" soapenv:mustUnderstand=\"1\"/>")));
  EXPECT_FALSE(Parse(with_header("<h:s xmlns:h=\"urn:h\" soapenv:mustUnderstand=\"true\"/>")));
  EXPECT_FALSE(Parse(with_header("<h:s xmlns:h=\"urn:h\" soapenv:mustUnderstand=\"yes\"/>")));
  // mustUnderstand in another namespace is not ours to honour.
  EXPECT_TRUE(Parse(with_header("<h:s xmlns:h=\"urn:h\" h:mustUnderstand=\"1\"/>")));
}

TEST_F(InfoWarnReply, RefusesDocumentTypes) {
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>" +
      Return("&c;");
  EXPECT_FALSE(Parse(laughs));
  const std::string external =
      "<?xml version=\"1.0\"?><!DOCTYPE r SYSTEM \"file:///etc/passwd\">" + Return("0");
  EXPECT_FALSE(Parse(external));
  // In UTF-7 the declaration would not show as "<!DOCTYPE".
  const std::string utf7 = "<?xml version=\"1.0\" encoding=\"UTF-7\"?>+ADw-!DOCTYPE r+AD4-" +
                           Return("0");
  EXPECT_FALSE(Parse(utf7));
  // A declared encoding that replies do use still reads.
  EXPECT_TRUE(Parse("<?xml version='1.0' encoding='UTF-8'?>" + Return("0")));
  EXPECT_TRUE(Parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + Return("0")));
}

TEST_F(InfoWarnReply, CharacterReferencesAndSplitText) {
  std::int64_t v = -1;
  ASSERT_TRUE(Parse(Return("&#x31;&#50;"), &v));
  EXPECT_EQ(v, 12);
  ASSERT_TRUE(Parse(Return("<![CDATA[4]]>2"), &v));
  EXPECT_EQ(v, 42);
}

// The other operations: in/out strings come back, nil is accepted for them.
TEST_F(ReplyTest, InOutStringsOfAnotherOperation) {
  const auto& op = DeduRazivorOperations()[kGetPolicyTargetAddress];
  ParamRecord record(op.record_size);
  ASSERT_TRUE(ParseResponse(*reader_,
                            InBody("<r><getPolicyTargetAddressReturn>1</getPolicyTargetAddressReturn>"
                                   "<pingAddresses>a&amp;&#x4E2D;</pingAddresses>"
                                   "<httpAddresses xsi:nil=\"true\"/></r>"),
                            op, record));
  EXPECT_EQ(record[1].kind, SoapValue::Kind::kText);
  EXPECT_EQ(record[1].text, u"a&\u4E2D");
  EXPECT_TRUE(record[2].is_null());
  EXPECT_EQ(record[3].signed_value, 1);
  // The guid is sent, never read back.
  EXPECT_FALSE(ParseResponse(*reader_,
                             InBody("<r><getPolicyTargetAddressReturn>1</getPolicyTargetAddressReturn>"
                                    "<guid>x</guid></r>"),
                             op, record));
}

}  // namespace
}  // namespace torvane::soap::test

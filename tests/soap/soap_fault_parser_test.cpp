#include <gtest/gtest.h>

#include <string>

#include "soap/fault_parser.h"
#include "soap/soap_reply_fixture.h"

namespace torvane::soap::test {
namespace {

class FaultReply : public ReplyTest {
 protected:
  bool Parse(const std::string& body) { return ParseFault(*reader_, body, fault_); }
  static std::string Fault(const std::string& inside) {
    return InBody("<soapenv:Fault>" + inside + "</soapenv:Fault>");
  }
  SoapFault fault_;
};

TEST_F(FaultReply, CodeWithTheBoundPrefix) {
  ASSERT_TRUE(Parse(Fault("<faultcode>soapenv:Server</faultcode>"
                          "<faultstring>disk full &amp; more</faultstring>"
                          "<faultactor>urn:a</faultactor>")));
  EXPECT_EQ(fault_.code, kFaultServer);
  EXPECT_EQ(fault_.code_text, u"soapenv:Server");
  EXPECT_EQ(fault_.fault_string, u"disk full & more");
  EXPECT_EQ(fault_.fault_actor, u"urn:a");
  EXPECT_EQ(FaultCodeText(kFaultServer), "SOAP Server Application Faulted");

  ASSERT_TRUE(Parse(Fault("<faultcode>soapenv:Client</faultcode>")));
  EXPECT_EQ(fault_.code, kFaultClient);
  ASSERT_TRUE(Parse(Fault("<faultcode>soapenv:Server.userException</faultcode>")));
  EXPECT_EQ(fault_.code, kFaultUnknown);
  EXPECT_EQ(fault_.code_text, u"soapenv:Server.userException");
}

TEST_F(FaultReply, ForeignPrefixFails) {
  EXPECT_FALSE(Parse(Fault("<faultcode>soap:Server</faultcode>")));
  EXPECT_FALSE(Parse(Fault("<faultcode>Server</faultcode>")));
  EXPECT_FALSE(Parse(Fault("<faultcode xmlns:q=\"urn:q\">q:Server</faultcode>")));
}

TEST_F(FaultReply, DetailKeptAsXmlText) {
  ASSERT_TRUE(Parse(Fault("<faultcode>soapenv:Server</faultcode><faultstring>x</faultstring>"
                          "<detail><ns:e xmlns:ns=\"urn:e\" ns:k=\"v\">a&lt;b</ns:e></detail>")));
  EXPECT_EQ(fault_.detail, u"<ns:e ns:k=\"v\">a&lt;b</ns:e>");
}

TEST_F(FaultReply, StructureRules) {
  EXPECT_FALSE(Parse(Fault("<faultstring>a</faultstring><faultstring>b</faultstring>")))
      << "a second fault string";
  EXPECT_FALSE(Parse(InBody("<other/>"))) << "unknown element before the fault";
  EXPECT_FALSE(Parse("<soapenv:Body xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                     "<soapenv:Envelope/></soapenv:Body>"))
      << "levels must rise";
  EXPECT_FALSE(Parse("<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"/>"));
  EXPECT_TRUE(Parse(Fault("<faultcode>soapenv:Server</faultcode><unknown><x/></unknown>")))
      << "unknown elements are skipped once the fault's fields began";
  EXPECT_FALSE(Parse(""));
  EXPECT_FALSE(Parse("<!DOCTYPE x []>" + Fault("<faultcode>soapenv:Server</faultcode>")));
}

}  // namespace
}  // namespace torvane::soap::test

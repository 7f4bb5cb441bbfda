#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "soap/dedu_razivor.h"
#include "soap/request_writer.h"
#include "soap/xsd_text.h"
#include "soap/xsd_type.h"

namespace torvane::soap {
namespace {

std::string Escape(std::u16string_view s) {
  std::string out;
  AppendEscaped(s, out);
  EXPECT_EQ(out.size(), EscapedLength(s)) << out;
  return out;
}

TEST(SoapEscape, EntitiesQuotesAndReferences) {
  EXPECT_EQ(Escape(u"A&B<C>"), "A&amp;B&lt;C&gt;");
  EXPECT_EQ(Escape(u"say \"hi\" 'x'"), "say \"hi\" 'x'");
  EXPECT_EQ(Escape(u"\t\n\u4E2D"), "&#x0009;&#x000A;&#x4E2D;");
  EXPECT_EQ(Escape(u"\x7F~ "), "&#x007F;~ ");
  EXPECT_EQ(Escape(u""), "");
}

TEST(SoapEscape, SurrogatePairsAndLoneHalves) {
  EXPECT_EQ(Escape(u"\U0001F600"), "&#x01F600;");
  EXPECT_EQ(Escape(u"\U0010FFFF"), "&#x10FFFF;");
  const char16_t lone_high[] = {0xD83D, u'a', 0};
  EXPECT_EQ(Escape(lone_high), "&#xD83D;a");
  const char16_t high_at_end[] = {u'a', 0xD83D, 0};
  EXPECT_EQ(Escape(high_at_end), "a&#xD83D;");
  const char16_t two_highs[] = {0xD83D, 0xD83D, 0xDE00, 0};
  EXPECT_EQ(Escape(two_highs), "&#xD83D;&#x01F600;");
  const char16_t lone_low[] = {0xDE00, 0};
  EXPECT_EQ(Escape(lone_low), "&#xDE00;");
}

TEST(XsdText, Doubles) {
  EXPECT_EQ(FormatXsdDouble(std::numeric_limits<double>::quiet_NaN()), "NaN");
  EXPECT_EQ(FormatXsdDouble(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(FormatXsdDouble(-std::numeric_limits<double>::infinity()), "-INF");
  EXPECT_EQ(FormatXsdDouble(-0.0), "-0");
  EXPECT_EQ(FormatXsdDouble(0.0), "0");
  EXPECT_EQ(FormatXsdDouble(1.0), "1");
  EXPECT_EQ(FormatXsdDouble(-2.5), "-2.5");
  EXPECT_EQ(FormatXsdDouble(0.1), "0.1");
  EXPECT_EQ(FormatXsdDouble(1e20), "100000000000000000000");
  EXPECT_EQ(FormatXsdDouble(0.01), "1.e-002");
  EXPECT_EQ(FormatXsdDouble(-0.0125), "-1.25e-002");
  EXPECT_EQ(FormatXsdDouble(5e-324), "5.e-324");
}

TEST(XsdText, Base64LinesAndHex) {
  EXPECT_EQ(FormatBase64(std::vector<std::uint8_t>{'a', 'b', 'c'}), "YWJj");
  EXPECT_EQ(FormatBase64(std::vector<std::uint8_t>{'a'}), "YQ==");
  const std::vector<std::uint8_t> b57(57, 0xFF), b58(58, 0xFF);
  const std::string line(76, '/');
  EXPECT_EQ(FormatBase64(b57), line + "\r\n");
  EXPECT_EQ(FormatBase64(b58), line + "\r\n" + "/w==");
  EXPECT_EQ(FormatHexBinary(std::vector<std::uint8_t>{0x00, 0xAB, 0x7f}), "00AB7F");
}

std::string Text(int type, const SoapValue& v) {
  std::string out;
  EXPECT_TRUE(AppendXsdText(type, v, out)) << XsdTypeName(type);
  return out;
}

TEST(XsdText, IntegerWidthsAndBooleans) {
  EXPECT_EQ(Text(kXsdLong, SoapValue::Signed(-5)), "-5");
  EXPECT_EQ(Text(kXsdLong, SoapValue::Signed(0)), "0");
  EXPECT_EQ(Text(kXsdLong, SoapValue::Signed(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(Text(kXsdUnsignedLong, SoapValue::Unsigned(UINT64_MAX)), "18446744073709551615");
  EXPECT_EQ(Text(kXsdShort, SoapValue::Signed(-32768)), "-32768");
  EXPECT_EQ(Text(kXsdUnsignedByte, SoapValue::Unsigned(255)), "255");
  EXPECT_EQ(Text(kXsdBoolean, SoapValue::Bool(true)), "true");
  EXPECT_EQ(Text(kXsdBoolean, SoapValue::Bool(false)), "false");
  EXPECT_EQ(Text(kXsdFloat, SoapValue::Float(0.5)), "0.5");
  std::string out;
  EXPECT_FALSE(AppendXsdText(kXsdByte, SoapValue::Signed(128), out));
  EXPECT_FALSE(AppendXsdText(kXsdUnsignedShort, SoapValue::Unsigned(65536), out));
  EXPECT_FALSE(AppendXsdText(kXsdTypeCount, SoapValue::Text(u"x"), out));
  EXPECT_FALSE(AppendXsdText(-1, SoapValue::Text(u"x"), out));
  EXPECT_FALSE(AppendXsdText(kXsdLong, SoapValue::Text(u"1"), out));
}

// The exact request for infoWarn: Chinese text, "&", quotes, a negative
// logType, a null and an empty string.
TEST(InfoWarnRequest, GoldenBytes) {
  const auto& op = DeduRazivorOperations()[kInfoWarn];
  ParamRecord record(op.record_size);
  record[kInfoWarnGuid] = SoapValue::Null();
  record[kInfoWarnWhen] = SoapValue::Text(u"");
  record[kInfoWarnMemos] = SoapValue::Text(u"插入U盘 \"A&B\" 'c'");
  record[kInfoWarnLogType] = SoapValue::Signed(-7);
  std::string out;
  ASSERT_EQ(WriteRequest(op, record, out), WriteResult::kOk);
  const std::string expected =
      std::string(kEnvelopeStart) +
      "<soap:Body soap:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
      "<snp:infoWarn xmlns:snp=\"http://" TORVANE_SERVICE_HOST
      ":8080/WebDeduRazivor/services/DeduRazivor\">"
      "<guid xsi:nil=\"1\"/>"
      "<when></when>"
      "<memos>&#x63D2;&#x5165;U&#x76D8; \"A&amp;B\" 'c'</memos>"
      "<logType>-7</logType>"
      "</snp:infoWarn></soap:Body></soap:Envelope>";
  EXPECT_EQ(out, expected);
  EXPECT_EQ(std::string_view(kEnvelopeStart).size(), 227u);
}

TEST(InfoWarnRequest, PlainTextsAndTypeTwo) {
  const auto& op = DeduRazivorOperations()[kInfoWarn];
  ParamRecord record(op.record_size);
  record[kInfoWarnGuid] = SoapValue::Text(u"T1");
  record[kInfoWarnWhen] = SoapValue::Text(u"2026-01-02 03:04:05");
  record[kInfoWarnMemos] = SoapValue::Text(u"x");
  record[kInfoWarnLogType] = SoapValue::Signed(2);
  std::string out;
  ASSERT_EQ(WriteRequest(op, record, out), WriteResult::kOk);
  EXPECT_NE(out.find("<guid>T1</guid><when>2026-01-02 03:04:05</when><memos>x</memos>"
                     "<logType>2</logType></snp:infoWarn>"),
            std::string::npos);
  EXPECT_EQ(out.find("xsi:type"), std::string::npos);
}

TEST(InfoWarnRequest, RefusesALongThatIsNull) {
  const auto& op = DeduRazivorOperations()[kInfoWarn];
  ParamRecord record(op.record_size);
  std::string out;
  EXPECT_EQ(WriteRequest(op, record, out), WriteResult::kBadValue);
  ParamRecord short_record(2);
  EXPECT_EQ(WriteRequest(op, short_record, out), WriteResult::kBadValue);
}

// A made-up operation that uses the parts of the model DeduRazivor does not:
// arrays, a return-value parameter, a qualified element, headers.
TEST(GeneralRequest, ArraysReturnNamespacesAndHeaders) {
  static constexpr std::size_t kDims[] = {2, 1};
  const ParamDescriptor params[] = {
      {NameHash("names"), "names", u"names", kXsdString, kParamIn | kParamDynamicArray, 0, {}, {}},
      {NameHash("grid"), "grid", u"grid", kXsdInt, kParamIn | kParamFixedArray, 1, kDims, {}},
      {NameHash("none"), "none", u"none", kXsdInt, kParamIn | kParamDynamicArray, 2, {}, {}},
      {NameHash("r"), "r", u"r", kXsdBoolean, kParamIn | kParamReturn, 3, {}, {}},
      {NameHash("q"), "q", u"q", kXsdHexBinary, kParamIn, 4, {}, "urn:q"},
      {NameHash("o"), "o", u"o", kXsdInt, kParamOut, 5, {}, {}},
  };
  const ParamDescriptor headers[] = {
      {NameHash("h"), "h", u"h", kXsdString, kParamIn | kParamMustUnderstand, 6, {}, {}},
  };
  OperationDescriptor op;
  op.name = "op";
  op.params = params;
  op.headers = headers;
  op.ns = "urn:x";
  ParamRecord record(7);
  record[0] = SoapValue::Array({SoapValue::Text(u"a<"), SoapValue::Null()});
  record[1] = SoapValue::Array({SoapValue::Signed(1), SoapValue::Signed(-2)});
  record[2] = SoapValue::Array({});
  record[3] = SoapValue::Bool(true);
  record[4] = SoapValue::Bytes({0xDE, 0xAD});
  record[6] = SoapValue::Text(u"hv");
  std::string out;
  ASSERT_EQ(WriteRequest(op, record, out), WriteResult::kOk);
  EXPECT_EQ(out.substr(227),
            "<soap:Header><h soap:mustUnderstand=\"1\">hv</h></soap:Header>"
            "<soap:Body soap:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
            "<snp:op xmlns:snp=\"urn:x\">"
            "<names soapenc:arrayType=\"xsd:string[2]\"><string>a&lt;</string>"
            "<string xsi:nil=\"1\"></string></names>"
            "<grid soapenc:arrayType=\"xsd:int[2, 1]\"><int>1</int><int>-2</int></grid>"
            "<none></none>"
            "<return>true</return>"
            "<snp:q xmlns:snp=\"urn:q\">DEAD</snp:q>"
            "</snp:op></soap:Body></soap:Envelope>");
  record[1] = SoapValue::Array({SoapValue::Signed(1)});  // fixed array of the wrong size
  out.clear();
  EXPECT_EQ(WriteRequest(op, record, out), WriteResult::kBadValue);
}

}  // namespace
}  // namespace torvane::soap

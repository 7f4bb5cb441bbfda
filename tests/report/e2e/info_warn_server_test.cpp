#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "soap/info_warn_client.h"
#include "server_fixture.h"

namespace torvane::test {
namespace {

using soap::InfoWarnClient;
using soap::kInfoWarnFailed;
using soap::ServerContact;

class InfoWarnServer : public ServerTest {};

// Every reply counts as an answer, whatever it says; a server that closes
// without replying does not.
TEST_F(InfoWarnServer, ReturnsTheServersAnswer) {
  constexpr auto kAnswered = ServerContact::kAnswered;
  for (const auto& [mode, answer, contact] : std::vector<std::tuple<std::string, int, ServerContact>>{
           {"answer 0", 0, kAnswered}, {"answer 5", 5, kAnswered}, {"answer -3", -3, kAnswered},
           {"answer 4294967297", 1, kAnswered}, {"answer 4294967296", kInfoWarnFailed, kAnswered},
           {"fault", kInfoWarnFailed, kAnswered}, {"answer 12x", kInfoWarnFailed, kAnswered},
           {"close", kInfoWarnFailed, ServerContact::kNoAnswer},
           {"status 201", kInfoWarnFailed, kAnswered}, {"status 202", kInfoWarnFailed, kAnswered},
           {"status 503", kInfoWarnFailed, kAnswered}}) {
    SCOPED_TRACE(mode);
    SetMode(mode);
    InfoWarnClient client;
    client.SetUrl(ServiceUrl().c_str());
    EXPECT_EQ(client.ReportInfoWarn("g", "w", "m", 2), answer);
    EXPECT_EQ(client.contact(), contact);
  }
}

TEST_F(InfoWarnServer, ARefusedConnectionIsNoAnswer) {
  InfoWarnClient client;
  client.SetUrl("http://127.0.0.1:1/WebDeduRazivor/services/DeduRazivor");
  EXPECT_EQ(client.ReportInfoWarn("g", "w", "m", 2), kInfoWarnFailed);
  EXPECT_EQ(client.contact(), ServerContact::kNoAnswer);
}

TEST_F(InfoWarnServer, NullEmptyAndNegativeValuesOnTheWire) {
  InfoWarnClient client;
  client.SetUrl(ServiceUrl().c_str());
  ASSERT_EQ(client.ReportInfoWarn(nullptr, "", "x", -7), 0);
  const std::string call = Calls().back();
  EXPECT_NE(call.find("\"guid\":null"), std::string::npos) << call;
  EXPECT_NE(call.find(JsonField("when", "")), std::string::npos) << call;
  EXPECT_NE(call.find(JsonField("logType", "-7")), std::string::npos) << call;
  EXPECT_NE(call.find("<guid xsi:nil=\\\"1\\\"/><when></when>"), std::string::npos) << call;
  EXPECT_NE(call.find("\"namespace\":\"http://"), std::string::npos) << call;
  EXPECT_NE(call.find(":8080/WebDeduRazivor/services/DeduRazivor\""), std::string::npos)
      << "the namespace is the build-time URL, not the configured one";
}

TEST_F(InfoWarnServer, NoUrlFailsAtOnce) {
  const auto before = Calls().size();
  InfoWarnClient client;
  EXPECT_EQ(client.ReportInfoWarn("g", "w", "m", 2), kInfoWarnFailed);
  client.SetUrl(nullptr);
  EXPECT_EQ(client.ReportInfoWarn("g", "w", "m", 2), kInfoWarnFailed);
  client.SetUrl("ftp://127.0.0.1/x");
  EXPECT_EQ(client.ReportInfoWarn("g", "w", "m", 2), kInfoWarnFailed);
  EXPECT_EQ(client.contact(), ServerContact::kNone) << "nothing was sent, nothing learnt";
  EXPECT_EQ(Calls().size(), before);
}

TEST_F(InfoWarnServer, WrongPathIsRefused) {
  InfoWarnClient client;
  client.SetUrl(("http://127.0.0.1:" + port_ + "/other").c_str());
  EXPECT_EQ(client.ReportInfoWarn("g", "w", "m", 2), kInfoWarnFailed);
}

}  // namespace
}  // namespace torvane::test

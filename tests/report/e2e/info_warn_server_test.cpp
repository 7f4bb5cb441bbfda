#include <gtest/gtest.h>

#include <string>

#include "soap/info_warn_client.h"
#include "server_fixture.h"

namespace torvane::test {
namespace {

using soap::InfoWarnClient;
using soap::kInfoWarnFailed;

class InfoWarnServer : public ServerTest {};

TEST_F(InfoWarnServer, ReturnsTheServersAnswer) {
  for (const auto& [mode, answer] : std::vector<std::pair<std::string, int>>{
           {"answer 0", 0}, {"answer 5", 5}, {"answer -3", -3}, {"answer 4294967297", 1},
           {"answer 4294967296", kInfoWarnFailed},
           {"fault", kInfoWarnFailed}, {"close", kInfoWarnFailed},
           {"status 201", kInfoWarnFailed}, {"status 202", kInfoWarnFailed},
           {"status 503", kInfoWarnFailed}}) {
    SCOPED_TRACE(mode);
    SetMode(mode);
    InfoWarnClient client;
    client.SetUrl(ServiceUrl().c_str());
    EXPECT_EQ(client.ReportInfoWarn("g", "w", "m", 2), answer);
  }
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
  EXPECT_EQ(Calls().size(), before);
}

TEST_F(InfoWarnServer, WrongPathIsRefused) {
  InfoWarnClient client;
  client.SetUrl(("http://127.0.0.1:" + port_ + "/other").c_str());
  EXPECT_EQ(client.ReportInfoWarn("g", "w", "m", 2), kInfoWarnFailed);
}

}  // namespace
}  // namespace torvane::test

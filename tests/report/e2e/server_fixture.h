#pragma once
// Tests against the stand-in management server started by
// tools/server/run_with_server.py: its port and folder come from the
// environment; the test sets the server's mode and reads back its calls.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "report/report_fixture.h"
#include "report/server_reachability.h"
#include "report/warning_store.h"

namespace torvane::test {

class ServerTest : public ReportTest {
 protected:
  void SetUp() override {
    ReportTest::SetUp();
    const char* port = std::getenv("TORVANE_SERVER_PORT");
    const char* dir = std::getenv("TORVANE_SERVER_DIR");
    if (!port || !dir) GTEST_SKIP() << "run through tools/server/run_with_server.py";
    port_ = port;
    dir_ = dir;
    SetMode("answer 0");
    // Each test starts with a server not known to be away.
    report::ProcessServerReachability().Reset();
  }

  // The store's records, oldest first.
  std::vector<std::string> Records() const {
    return report::SplitWarningRecords(report::ReadWarningStore(Store()));
  }
  // How many times `what` stands in the operation log.
  std::size_t LogCount(const std::string& what) const {
    const std::string log = Log();
    std::size_t n = 0;
    for (auto at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
    return n;
  }

  void SetMode(const std::string& mode) const {
    std::ofstream(dir_ + "/mode", std::ios::trunc) << mode << "\n";
  }
  std::string ServiceUrl(const std::string& host = "127.0.0.1") const {
    return "http://" + host + ":" + port_ + "/WebDeduRazivor/services/DeduRazivor";
  }
  // One JSON line per request the server received, oldest first.
  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_ + "/calls.jsonl", std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty()) lines.push_back(line);
    }
    return lines;
  }
  // The suite's files in the host directory, as the suite writes them.
  void Configure(const std::string& uid, const std::string& web_address) const {
    host_.Write("id.cfg", "[KOLMERA]\r\nUID=" + uid + "\r\n");
    host_.Write("kolMera2.ini", "[KOLMERA]\r\nWebAddress=" + web_address + "\r\n");
  }

  std::string port_;
  std::string dir_;
};

// `"name":"value"` as the server's JSON lines write it (UTF-8, compact).
inline std::string JsonField(const std::string& name, const std::string& value) {
  std::string out = "\"" + name + "\":\"";
  for (const char c : value) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace torvane::test

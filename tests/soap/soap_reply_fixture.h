#pragma once
// Runs reply bodies through the platform's XML reader (expat natively, the
// COM SAX reader on Windows) with the infoWarn descriptors.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/com_apartment.h"
#include "platform/sax_reader.h"
#include "soap/dedu_razivor.h"

namespace torvane::soap::test {

inline constexpr char kEnvOpen[] =
    "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
inline constexpr char kEnvClose[] = "</soapenv:Envelope>";

inline std::string InBody(const std::string& inside) {
  return std::string(kEnvOpen) + "<soapenv:Body>" + inside + "</soapenv:Body>" + kEnvClose;
}

class ReplyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reader_ = platform::CreateSaxReader();
    ASSERT_NE(reader_, nullptr);
  }
  void TearDown() override { reader_.reset(); }

  platform::ComApartment apartment_;
  std::unique_ptr<platform::SaxReader> reader_;
};

}  // namespace torvane::soap::test

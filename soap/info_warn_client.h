#pragma once
// The holder through which the event reporter makes one infoWarn call.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com_apartment.h"
#include "platform/tls_stream.h"
#include "soap/soap_proxy.h"

namespace torvane::soap {

// Returned by ReportInfoWarn when the exchange fails at any layer.
inline constexpr std::int32_t kInfoWarnFailed = -101;

// One infoWarn exchange (resolution, connection, request and the whole
// reply) ends within this time whatever the server does, so that no server
// holds a reporting thread.
inline constexpr std::uint32_t kInfoWarnDeadlineMs = 60000;
// For tests: the deadline of the exchanges that start afterwards; 0 puts
// kInfoWarnDeadlineMs back.
void SetInfoWarnDeadlineForTests(std::uint32_t ms);

// What the last ReportInfoWarn learnt on the way, for a support tool that
// says why an event was not taken. The call's result never depends on it.
struct InfoWarnDiagnosis {
  enum class Address { kParsed, kEmpty, kUnparsable };
  Address address = Address::kParsed;
  SoapClientError error = SoapClientError::kNone;
  HttpFailure http = HttpFailure::kNone;
  ReadResult read = ReadResult::kOk;
  int status = -1;               // the last reply's HTTP status; -1 for none
  SoapFault fault;               // error kFault: the server's fault
  bool answered = false;         // an infoWarnReturn number was read
  std::int64_t answer = 0;       // that number, whole
  platform::TlsFailure tls = platform::TlsFailure::kNone;  // https: why TLS refused the server
};

class InfoWarnClient {
 public:
  // Joins the calling thread to the component object library's apartment
  // for the client's lifetime (the reply parser creates a component object).
  InfoWarnClient() = default;

  // Stores the endpoint URL text; null stores the empty text.
  void SetUrl(const char* url) { url_ = url ? url : ""; }
  // The configured pin text for https endpoints ("" for none). A pin that
  // cannot be read matches no key: the server is refused, never left to the
  // trusted roots.
  void SetCertPin(std::string_view pin);

  // One complete infoWarn exchange with a fresh proxy and connection. Texts
  // are in the thread's ANSI code page; a null text goes out as nil.
  // Returns the low 32 bits of infoWarnReturn, or kInfoWarnFailed (also for
  // a non-zero answer whose low 32 bits are all zero).
  std::int32_t ReportInfoWarn(const char* guid, const char* when, const char* memos,
                              std::int32_t logType);

  // Whether the last ReportInfoWarn reached the server: kNoAnswer when a
  // request was attempted and no reply came back, kAnswered for any reply
  // (zero, non-zero, fault or HTTP error), kNone when nothing was sent.
  ServerContact contact() const { return contact_; }
  const InfoWarnDiagnosis& diagnosis() const { return diagnosis_; }
  // Why the last exchange's TLS connection was refused (kNone otherwise).
  platform::TlsFailure tls_failure() const { return tls_failure_; }

 private:
  platform::ComApartment apartment_;
  std::string url_;
  ServerContact contact_ = ServerContact::kNone;
  InfoWarnDiagnosis diagnosis_;
  std::optional<platform::TlsPin> pin_;
  platform::TlsFailure tls_failure_ = platform::TlsFailure::kNone;
};

}  // namespace torvane::soap

#pragma once
// One SOAP proxy: the client state for a service's operation table with its
// own HTTP client. It runs the call sequence of one operation and keeps the
// client error code of the last call.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/sax_reader.h"
#include "soap/fault_parser.h"
#include "soap/http_client.h"
#include "soap/operation_descriptor.h"
#include "soap/soap_value.h"
#include "soap/url.h"

namespace torvane::soap {

enum class SoapClientError : int {
  kNone = 0,
  kXmlReader = 1,     // the XML reader cannot be created
  kOutOfMemory = 2,   // the call's parse state cannot be prepared
  kWriteRequest = 3,  // the request envelope cannot be written
  kSend = 5,          // the exchange failed and the status is not 500
  kServer = 6,        // an accepted exchange with a status other than 200
  kFault = 7,         // status 500: the server sent a SOAP fault
  kFaultParse = 8,    // the fault reply cannot be parsed
  kReplyStream = 9,   // the reply body cannot be prepared for reading
  kParse = 10,        // the reply cannot be parsed into the outputs
};

// What the last call learnt about the server.
enum class ServerContact {
  kNone,      // nothing was sent: no usable endpoint, or the call failed before
  kNoAnswer,  // a request was attempted and no reply was read (refused or
              // timed-out connection, silence, the exchange's deadline)
  kAnswered,  // a reply with a status line arrived, whatever it said
};

class SoapProxy {
 public:
  // `operations` and `default_url` must outlive the proxy.
  SoapProxy(std::span<const OperationDescriptor> operations, std::string_view default_url);

  // Clears the endpoint, then parses `url` into it; an empty or unparsable
  // text leaves no endpoint, and the next call fails without any traffic.
  bool SetUrl(std::string_view url);

  // Runs one call of operation `index` with the values in `record` (sized to
  // the operation's record). On success the outputs are in `record`.
  bool Call(std::size_t index, ParamRecord& record);

  // Bounds each call's whole exchange; 0 (the default) leaves only the
  // per-wait time-outs.
  void set_deadline_ms(std::uint32_t ms) { deadline_ms_ = ms; }
  // For https endpoints: the pinned key that replaces the trusted roots.
  void set_tls_pin(const std::optional<platform::TlsPin>& pin) { tls_pin_ = pin; }

  SoapClientError error() const { return error_; }
  ServerContact contact() const { return contact_; }
  // Why the last call's TLS connection was refused (kNone otherwise).
  platform::TlsFailure tls_failure() const { return http_.tls_failure(); }
  const SoapFault& fault() const { return fault_; }
  // The HTTP side of the last call, for diagnostics.
  const HttpClient& http() const { return http_; }
  // The last request body, for diagnostics and tests.
  const std::string& last_request() const { return request_; }

 private:
  bool Exchange(const OperationDescriptor& op, ParamRecord& record);

  std::span<const OperationDescriptor> operations_;
  Url url_;
  HttpClient http_;
  std::unique_ptr<platform::SaxReader> reader_;
  std::string request_;
  SoapFault fault_;
  SoapClientError error_ = SoapClientError::kNone;
  ServerContact contact_ = ServerContact::kNone;
  std::uint32_t deadline_ms_ = 0;
  std::optional<platform::TlsPin> tls_pin_;
};

}  // namespace torvane::soap

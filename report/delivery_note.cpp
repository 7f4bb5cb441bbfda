#include "report/delivery_note.h"

#include "platform/codepage.h"
#include "platform/socket.h"
#include "platform/tls_stream.h"
#include "soap/url.h"

namespace torvane::report {
namespace {

using soap::HttpFailure;
using soap::InfoWarnDiagnosis;
using soap::ReadResult;
using soap::SoapClientError;

std::string Seconds(std::uint32_t ms) { return std::to_string(ms / 1000) + " s"; }

// The server as host:port (no user name or password from the address).
std::string Server(const std::string& address) {
  soap::Url url;
  if (!soap::ParseUrl(address, url) || url.host_name.empty()) return address;
  return url.host_name + ":" + std::to_string(url.port);
}

std::string NoReply(const InfoWarnDiagnosis& d, const std::string& server) {
  const std::string wait = Seconds(platform::Socket::kDefaultTimeoutMs);
  switch (d.read) {
    case ReadResult::kBadStatusLine:
      return "the reply from " + server + " is not HTTP (no status line)";
    case ReadResult::kBodyFailed:
    case ReadResult::kChunkFailed:
      return "the reply from " + server + " broke off (closed, malformed, or no more of it for " + wait + ")";
    case ReadResult::kTooLarge:
    case ReadResult::kTooManyHeaders:
      return "the reply from " + server + " is too large";
    case ReadResult::kOutOfMemory:
      return "out of memory for the reply from " + server;
    case ReadResult::kOk:
    case ReadResult::kHeadFailed:
      break;
  }
  return "no answer from " + server + ": the connection closed, or nothing came for " + wait +
         ", before a reply";
}

std::string Fault(const InfoWarnDiagnosis& d) {
  const soap::SoapFault& f = d.fault;
  std::string text = "SOAP fault";
  if (f.has_string) text += ": " + platform::Utf16ToAnsi(f.fault_string);
  if (f.has_code) text += " (faultcode " + platform::Utf16ToAnsi(f.code_text) + ")";
  return text;
}

}  // namespace

std::string UndeliveredReason(const DeliveryNote& note) {
  if (note.sent && note.result == 0) return {};
  if (!note.sent) {
    return "not sent: the server gave no answer to a report moments ago, so reports go to the store "
           "without sending until its quiet period ends";
  }
  const InfoWarnDiagnosis& d = note.diagnosis;
  const std::string server = Server(note.address);
  if (d.answered) return "the server answered " + std::to_string(d.answer);
  switch (d.address) {
    case InfoWarnDiagnosis::Address::kEmpty:
      return "no server address: WebAddress is empty or missing";
    case InfoWarnDiagnosis::Address::kUnparsable:
      return "the server address is not a URL: WebAddress=" + note.address;
    case InfoWarnDiagnosis::Address::kParsed:
      break;
  }
  switch (d.error) {
    case SoapClientError::kFault:
      return Fault(d);
    case SoapClientError::kFaultParse:
      return "HTTP status 500 without a readable SOAP fault";
    case SoapClientError::kServer:
      return "HTTP status " + std::to_string(d.status);
    case SoapClientError::kParse:
      if (d.status == 202) return "HTTP status 202: accepted with no answer";
      return "the reply (HTTP status " + std::to_string(d.status) + ") holds no readable infoWarn answer";
    case SoapClientError::kXmlReader:
    case SoapClientError::kOutOfMemory:
    case SoapClientError::kWriteRequest:
    case SoapClientError::kReplyStream:
      return "the request could not be made here (client error " + std::to_string(static_cast<int>(d.error)) + ")";
    case SoapClientError::kSend:
    case SoapClientError::kNone:
      break;
  }
  switch (d.http) {
    case HttpFailure::kUrl:
      return "the server address is not an http or https URL with a host: WebAddress=" + note.address;
    case HttpFailure::kResolve:
      return "no connection: the host name of " + server + " does not resolve";
    case HttpFailure::kConnect:
      return "no connection to " + server + " (refused, unreachable, or no answer within " +
             Seconds(platform::Socket::kConnectTimeoutMs) + ")";
    case HttpFailure::kTls:
      return "the TLS check refused " + server + ": " + std::string(platform::TlsFailureName(d.tls));
    case HttpFailure::kSend:
      return "the request could not be sent to " + server + " (the connection broke)";
    case HttpFailure::kReply:
      return NoReply(d, server);
    case HttpFailure::kStatus:
      return "HTTP status " + std::to_string(d.status);
    case HttpFailure::kRedirect:
      return "HTTP status " + std::to_string(d.status) +
             ": a redirect not followed (to another server, without a valid Location, or too many)";
    case HttpFailure::kDeadline:
      return "no answer from " + server + " within the exchange's limit of " + Seconds(soap::kInfoWarnDeadlineMs);
    case HttpFailure::kOutOfMemory:
      return "out of memory for the exchange with " + server;
    case HttpFailure::kNone:
      break;
  }
  return "the exchange with " + server + " failed (result " + std::to_string(note.result) + ")";
}

}  // namespace torvane::report

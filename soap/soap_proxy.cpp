#include "soap/soap_proxy.h"

#include <new>

#include "soap/request_writer.h"
#include "soap/response_parser.h"

namespace torvane::soap {
namespace {

constexpr char kContentType[] = "text/xml; charset=utf-8";
constexpr char kExtraHeaders[] = "SOAPAction: \"\"\r\nAccept: text/xml\r\n";

}  // namespace

SoapProxy::SoapProxy(std::span<const OperationDescriptor> operations, std::string_view default_url)
    : operations_(operations) {
  ParseUrl(default_url, url_);
}

bool SoapProxy::SetUrl(std::string_view url) { return ParseUrl(url, url_); }

bool SoapProxy::Call(std::size_t index, ParamRecord& record) {
  if (!reader_) {
    reader_ = platform::CreateSaxReader();
    if (!reader_) {
      error_ = SoapClientError::kXmlReader;
      return false;
    }
  }
  request_.clear();
  fault_.Clear();
  error_ = SoapClientError::kNone;
  contact_ = ServerContact::kNone;
  if (index >= operations_.size() || record.size() < operations_[index].record_size) {
    error_ = SoapClientError::kOutOfMemory;
    return false;
  }
  bool ok = false;
  try {
    ok = Exchange(operations_[index], record);
  } catch (const std::bad_alloc&) {
    if (error_ == SoapClientError::kNone) error_ = SoapClientError::kOutOfMemory;
    ok = false;
  }
  // Nothing of the call outlives it.
  std::string().swap(request_);
  return ok;
}

bool SoapProxy::Exchange(const OperationDescriptor& op, ParamRecord& record) {
  if (WriteRequest(op, record, request_) != WriteResult::kOk) {
    error_ = SoapClientError::kWriteRequest;
    return false;
  }

  HttpRequestOptions options;
  options.method = "POST";
  options.extra_headers = kExtraHeaders;
  options.content_type = kContentType;
  options.body = request_;
  options.port = url_.port;
  // The transport refuses anything but an http or https URL with a host
  // before any traffic; only a request that went out can tell about the
  // server.
  const bool sendable =
      (url_.scheme_number == kSchemeHttp || url_.scheme_number == kSchemeHttps) && !url_.host_name.empty();
  options.deadline_ms = deadline_ms_;
  options.tls_pin = tls_pin_;
  const bool exchanged = http_.PerformRequest(url_, &options);
  const int status = http_.status();
  if (sendable) contact_ = status == -1 ? ServerContact::kNoAnswer : ServerContact::kAnswered;

  if (!exchanged && status == 500) {
    HttpBodyStream body;
    if (!http_.OpenBodyStream(body) || !ParseFault(*reader_, body.remaining(), fault_)) {
      error_ = SoapClientError::kFaultParse;
    } else {
      error_ = SoapClientError::kFault;
    }
    return false;
  }
  if (!exchanged) {
    error_ = SoapClientError::kSend;
    return false;
  }
  if (status == 202) {
    // Accepted without a reply: there is no return value to read.
    error_ = SoapClientError::kParse;
    return false;
  }
  if (status != 200) {
    error_ = SoapClientError::kServer;
    return false;
  }
  HttpBodyStream body;
  if (!http_.OpenBodyStream(body)) {
    error_ = SoapClientError::kReplyStream;
    return false;
  }
  if (!ParseResponse(*reader_, body.remaining(), op, record)) {
    error_ = SoapClientError::kParse;
    return false;
  }
  return true;
}

}  // namespace torvane::soap

#include "soap/info_warn_client.h"

#include <atomic>
#include <new>

#include "platform/codepage.h"
#include "soap/dedu_razivor.h"
#include "soap/soap_proxy.h"

namespace torvane::soap {
namespace {

std::atomic<std::uint32_t> g_deadline_ms{0};

SoapValue AnsiText(const char* text) {
  if (!text) return SoapValue::Null();
  return SoapValue::Text(platform::AnsiToUtf16(text));
}

}  // namespace

void InfoWarnClient::SetCertPin(std::string_view pin) {
  pin_.reset();
  if (pin.empty()) return;
  pin_ = platform::ParseTlsPin(pin).value_or(platform::TlsPin{});
}

void SetInfoWarnDeadlineForTests(std::uint32_t ms) { g_deadline_ms.store(ms); }

std::int32_t InfoWarnClient::ReportInfoWarn(const char* guid, const char* when, const char* memos,
                                            std::int32_t logType) {
  contact_ = ServerContact::kNone;
  diagnosis_ = InfoWarnDiagnosis{};
  tls_failure_ = platform::TlsFailure::kNone;
  try {
    SoapProxy proxy(DeduRazivorOperations(), kServiceUrl);
    // The configured URL always replaces the built-in endpoint; if it does
    // not parse, the call fails before any traffic.
    if (!proxy.SetUrl(url_))
      diagnosis_.address = url_.empty() ? InfoWarnDiagnosis::Address::kEmpty : InfoWarnDiagnosis::Address::kUnparsable;
    const std::uint32_t deadline = g_deadline_ms.load();
    proxy.set_deadline_ms(deadline != 0 ? deadline : kInfoWarnDeadlineMs);
    proxy.set_tls_pin(pin_);

    const auto& op = DeduRazivorOperations()[kInfoWarn];
    ParamRecord record(op.record_size);
    record[kInfoWarnGuid] = AnsiText(guid);
    record[kInfoWarnWhen] = AnsiText(when);
    record[kInfoWarnMemos] = AnsiText(memos);
    record[kInfoWarnLogType] = SoapValue::Signed(static_cast<std::int64_t>(logType));
    record[kInfoWarnReturn] = SoapValue::Signed(0);

    const bool called = proxy.Call(kInfoWarn, record);
    contact_ = proxy.contact();
    diagnosis_.error = proxy.error();
    diagnosis_.http = proxy.http().failure();
    diagnosis_.read = proxy.http().last_read_result();
    diagnosis_.status = proxy.http().status();
    if (proxy.error() == SoapClientError::kFault) diagnosis_.fault = proxy.fault();
    tls_failure_ = proxy.tls_failure();
    diagnosis_.tls = tls_failure_;
    if (!called) return kInfoWarnFailed;
    const SoapValue& answer = record[kInfoWarnReturn];
    if (answer.kind != SoapValue::Kind::kSigned) return kInfoWarnFailed;
    diagnosis_.answered = true;
    diagnosis_.answer = answer.signed_value;
    const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(answer.signed_value) & 0xFFFFFFFFu));
    // A refusal must not read as acceptance once cut to 32 bits.
    if (low == 0 && answer.signed_value != 0) return kInfoWarnFailed;
    return low;
  } catch (const std::bad_alloc&) {
    diagnosis_.error = SoapClientError::kOutOfMemory;
    return kInfoWarnFailed;
  }
}

}  // namespace torvane::soap

#include "report/reporter.h"

#include <exception>
#include <string>

#include "config/config.h"
#include "config/host_directory.h"
#include "report/delivery_note.h"
#include "report/operation_log.h"
#include "report/store_format.h"
#include "report/undelivered_record.h"
#include "report/warning_store.h"
#include "soap/info_warn_client.h"
#include "soap/url.h"

namespace torvane::report {
namespace {

using Outcome = ServerReachability::Outcome;

Outcome OutcomeOf(soap::ServerContact contact) {
  switch (contact) {
    case soap::ServerContact::kNoAnswer:
      return Outcome::kNoAnswer;
    case soap::ServerContact::kAnswered:
      return Outcome::kAnswered;
    case soap::ServerContact::kNone:
      break;
  }
  return Outcome::kNotSent;
}

// The server as the log names it: host and port only, so that no user name
// or password written into the address reaches the log.
std::string ServerName(const std::string& address) {
  soap::Url url;
  if (!soap::ParseUrl(address, url)) return "?";
  return url.host_name + ":" + std::to_string(url.port);
}

// One line when the server is taken as unreachable, one when it answers
// again; never one per event. A server refused by the TLS checks is
// unreachable too, and its line says why.
void LogChange(const ServerReachability::Result& r, const std::string& address, platform::TlsFailure tls) {
  if (r.change == ServerReachability::Change::kNone) return;
  const std::string server = ServerName(address);
  switch (r.change) {
    case ServerReachability::Change::kUnreachable:
      if (tls != platform::TlsFailure::kNone) {
        WriteOperationLog("Error:Server refused by the TLS check (" + server + ": " +
                          std::string(platform::TlsFailureName(tls)) +
                          "), events are stored without sending; next try in " +
                          std::to_string(r.period.count()) + " s\n");
        break;
      }
      WriteOperationLog("Error:Server not answering (" + server +
                        "), events are stored without sending; next try in " +
                        std::to_string(r.period.count()) + " s\n");
      break;
    case ServerReachability::Change::kAnswersAgain:
      WriteOperationLog("Error:Server answering again (" + server + ") after " +
                        std::to_string(r.outage.count()) + " s; events stored without sending: " +
                        std::to_string(r.skipped) + "\n");
      break;
    case ServerReachability::Change::kNone:
      break;
  }
}

// The pin is read only for an https address.
std::string CertPinFor(const std::string& address) {
  soap::Url url;
  if (!soap::ParseUrl(address, url) || url.scheme_number != soap::kSchemeHttps) return "";
  return config::ReadWebCertPin();
}

// One exchange with the server, its outcome handed back to the shared
// reachability state on every path.
std::int32_t Send(const std::string& address, const std::string& guid, const std::string& when,
                  const std::string& memos, std::int32_t eventType, MonotonicClock monotonic,
                  DeliveryNote* note) {
  ServerReachability& reachability = ProcessServerReachability();
  const ServerReachability::Ticket ticket = reachability.Begin(address, monotonic());
  if (!ticket.send) return soap::kInfoWarnFailed;
  if (note) note->sent = true;

  struct Ending {
    ServerReachability& reachability;
    const ServerReachability::Ticket& ticket;
    const std::string& address;
    MonotonicClock monotonic;
    Outcome outcome = Outcome::kNotSent;
    platform::TlsFailure tls = platform::TlsFailure::kNone;
    ~Ending() {
      try {
        LogChange(reachability.End(ticket, address, outcome, monotonic()), address, tls);
      } catch (...) {
        // The log line is lost; the state is already updated.
      }
    }
  } ending{reachability, ticket, address, monotonic};

  soap::InfoWarnClient client;
  client.SetUrl(address.c_str());
  client.SetCertPin(CertPinFor(address));
  const std::int32_t answer = client.ReportInfoWarn(guid.c_str(), when.c_str(), memos.c_str(), eventType);
  ending.outcome = OutcomeOf(client.contact());
  if (note) note->diagnosis = client.diagnosis();
  ending.tls = client.tls_failure();
  return answer;
}

}  // namespace

std::int32_t ReportEvent(std::string_view text, std::int32_t eventType) {
  return ReportEvent(text, eventType, platform::LocalTimeNow, MonotonicNow);
}

std::int32_t ReportEvent(std::string_view text, std::int32_t eventType, LocalClock clock) {
  return ReportEvent(text, eventType, clock, MonotonicNow);
}

namespace {

std::int32_t Report(std::string_view text, std::int32_t eventType, LocalClock clock, MonotonicClock monotonic,
                    DeliveryNote* note) {
  try {
    // Read afresh for every event: nothing is cached between reports.
    const std::string directory = config::HostDirectory();
    const std::string web_address = config::ReadWebAddress();
    const std::string guid = config::ReadUid();
    const std::string when = platform::FormatTimeStamp(clock());
    // The event text is a C string on the wire: it ends at its first NUL.
    const std::string memos(text.substr(0, text.find('\0')));

    if (note) note->address = web_address;
    const std::int32_t answer = Send(web_address, guid, when, memos, eventType, monotonic, note);
    if (note) note->result = answer;
    if (answer == 0) return 0;

    int stored = -1;
    try {
      stored = AppendWarningRecord(directory + kWarningStoreName,
                                   UndeliveredRecord(guid, when, memos, eventType));
    } catch (...) {
      // A failed store is logged by the store itself; the event is lost.
    }
    if (note) note->store = stored == 0 ? DeliveryNote::Store::kStored : DeliveryNote::Store::kDropped;
    return -1;
  } catch (...) {
    return -1;
  }
}

}  // namespace

std::int32_t ReportEvent(std::string_view text, std::int32_t eventType, LocalClock clock,
                         MonotonicClock monotonic) {
  return Report(text, eventType, clock, monotonic, nullptr);
}

std::int32_t ReportEvent(std::string_view text, std::int32_t eventType, LocalClock clock,
                         MonotonicClock monotonic, DeliveryNote* note) {
  if (note) *note = DeliveryNote{};
  return Report(text, eventType, clock, monotonic, note);
}

}  // namespace torvane::report

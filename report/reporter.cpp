#include "report/reporter.h"

#include <exception>
#include <string>

#include "config/config.h"
#include "config/host_directory.h"
#include "report/store_format.h"
#include "report/undelivered_record.h"
#include "report/warning_store.h"
#include "soap/info_warn_client.h"

namespace torvane::report {

std::int32_t ReportEvent(std::string_view text, std::int32_t eventType) {
  return ReportEvent(text, eventType, platform::LocalTimeNow);
}

std::int32_t ReportEvent(std::string_view text, std::int32_t eventType, LocalClock clock) {
  try {
    // Read afresh for every event: nothing is cached between reports.
    const std::string directory = config::HostDirectory();
    const std::string web_address = config::ReadWebAddress();
    const std::string guid = config::ReadUid();
    const std::string when = platform::FormatTimeStamp(clock());
    // The event text is a C string on the wire: it ends at its first NUL.
    const std::string memos(text.substr(0, text.find('\0')));

    std::int32_t answer = soap::kInfoWarnFailed;
    {
      soap::InfoWarnClient client;
      client.SetUrl(web_address.c_str());
      answer = client.ReportInfoWarn(guid.c_str(), when.c_str(), memos.c_str(), eventType);
    }
    if (answer == 0) return 0;

    try {
      AppendWarningRecord(directory + kWarningStoreName,
                          UndeliveredRecord(guid, when, memos, eventType));
    } catch (...) {
      // A failed store is logged by the store itself; the event is lost.
    }
    return -1;
  } catch (...) {
    return -1;
  }
}

}  // namespace torvane::report

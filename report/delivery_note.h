#pragma once
// What became of one reported event and, when the server did not take it,
// why: for support tools. The reporter fills it in on the side; the library's
// own reports, their result and the operation log are the same with or
// without it.
#include <cstdint>
#include <string>

#include "soap/info_warn_client.h"

namespace torvane::report {

struct DeliveryNote {
  std::string address;            // WebAddress as read for the report
  bool sent = false;              // an exchange was attempted
  std::int32_t result = 0;        // what the exchange returned (0: delivered)
  soap::InfoWarnDiagnosis diagnosis;
  enum class Store { kNotNeeded, kStored, kDropped };
  Store store = Store::kNotNeeded;
};

// Why the server did not take the event, as one line of text in the ANSI
// code page (a fault string comes as the server wrote it); empty when it did.
std::string UndeliveredReason(const DeliveryNote& note);

}  // namespace torvane::report

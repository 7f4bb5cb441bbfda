#include "report/undelivered_record.h"

namespace torvane::report {

std::string UndeliveredRecord(std::string_view guid, std::string_view when, std::string_view text,
                              std::int32_t eventType) {
  const std::string type = std::to_string(eventType);
  std::string record;
  record.reserve(guid.size() + when.size() + text.size() + type.size() + 4);
  record.append(guid).append(1, '|');
  record.append(when).append(1, '|');
  record.append(text).append(1, '|');
  record.append(type).append(1, '|');
  return record;
}

}  // namespace torvane::report

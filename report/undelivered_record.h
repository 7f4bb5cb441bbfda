#pragma once
// The text of an event that the server did not accept, as the warning store
// keeps it: "guid|when|text|type|", nothing escaped.
#include <cstdint>
#include <string>
#include <string_view>

namespace torvane::report {

std::string UndeliveredRecord(std::string_view guid, std::string_view when, std::string_view text,
                              std::int32_t eventType);

}  // namespace torvane::report

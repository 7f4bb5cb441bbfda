#pragma once
// The authorization check of a classified disk under the restricted-domain
// policy, and the consumption of one counted use after the disk was opened.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "admission/selvik_records.h"
#include "admission/services.h"

namespace torvane::admission {

// The largest authorization list loaded (2 MiB); a larger authCount is taken
// for a damaged record and refused.
inline constexpr std::int32_t kMaxAuthCount = 65536;

struct AuthorizationList {
  std::vector<AuthEntry> entries;  // exactly authCount records
  std::size_t matched = 0;         // index of the first matching entry
};

// FIELDID read in base 16 as strtol would, clamped to the signed 32-bit range.
std::int32_t ParseFieldMask(std::string_view text);

// unitId as 32 upper-case hex digits, in byte order.
std::string UnitIdHex(const AuthEntry& entry);

// Reports and shows every refusal (box owned by `owner`) and answers nullopt;
// on admission answers the list and the matched entry.
std::optional<AuthorizationList> CheckAuthorization(AdmissionServices& services, SecureDisk& disk,
                                                    const RegInfo& reg, char letter,
                                                    const char* serial,
                                                    platform::DialogWindow* owner);

// After the password dialog opened the disk: one use less, stored on the disk.
void ConsumeUse(AdmissionServices& services, SecureDisk& disk, AuthorizationList& list,
                char letter, const char* serial, platform::DialogWindow* owner);

}  // namespace torvane::admission

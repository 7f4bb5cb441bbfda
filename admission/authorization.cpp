#include "admission/authorization.h"

#include <cstdio>

#include "admission/event_text.h"
#include "admission/texts.h"
#include "config/config.h"

namespace torvane::admission {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void Refuse(AdmissionServices& services, platform::DialogWindow* owner, const EventText& t) {
  services.Report(t.view(), kEventType);
  services.Ui().MessageBox(owner, t.view(), text::kCaptionFailure, platform::kMbIconExclamation);
}

}  // namespace

std::int32_t ParseFieldMask(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
      HexDigit(s[i + 2]) >= 0) {
    i += 2;
  }
  // Accumulate with saturation just past the 32-bit range.
  constexpr std::int64_t kLimit = std::int64_t{1} << 32;
  std::int64_t value = 0;
  for (; i < s.size() && HexDigit(s[i]) >= 0; ++i) {
    value = value * 16 + HexDigit(s[i]);
    if (value > kLimit) value = kLimit;
  }
  if (negative) {
    return value > std::int64_t{0x80000000} ? INT32_MIN : static_cast<std::int32_t>(-value);
  }
  return value > std::int64_t{0x7FFFFFFF} ? INT32_MAX : static_cast<std::int32_t>(value);
}

std::string UnitIdHex(const AuthEntry& entry) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(32);
  for (std::uint8_t b : entry.unitId) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xF];
  }
  return hex;
}

std::optional<AuthorizationList> CheckAuthorization(AdmissionServices& services, SecureDisk& disk,
                                                    const RegInfo& reg, char letter,
                                                    const char* serial,
                                                    platform::DialogWindow* owner) {
  const std::int32_t count = reg.authCount;
  if (count < 1) {
    Refuse(services, owner, FormatEventText(text::kNoAuthInfo, letter, serial));
    return std::nullopt;
  }
  if (count > kMaxAuthCount) {
    services.Log(FormatEventText("Error: authorization list of drive %c has %d entries, more than "
                                 "%d; it is not loaded",
                                 letter, static_cast<int>(count), static_cast<int>(kMaxAuthCount))
                     .view());
    Refuse(services, owner, FormatEventText(text::kLoadAuthFailed, letter, serial, -1));
    return std::nullopt;
  }

  AuthorizationList list;
  list.entries.resize(static_cast<std::size_t>(count));
  const std::int32_t loaded = disk.LoadAuthList(count, list.entries.data());
  if (loaded != 0) {
    Refuse(services, owner, FormatEventText(text::kLoadAuthFailed, letter, serial, loaded));
    return std::nullopt;
  }

  const config::UnitAndField ids = config::ReadUnitAndFieldId();
  const auto field = static_cast<std::uint32_t>(ParseFieldMask(ids.field));
  std::optional<std::size_t> match;
  for (std::size_t i = 0; i < list.entries.size(); ++i) {
    const AuthEntry& e = list.entries[i];
    if ((e.fieldMask & field) == field && UnitIdHex(e) == ids.unit) {
      match = i;
      break;
    }
  }

  if (match && reg.checkUser == 1) {
    const std::string user = config::ReadUser();
    if (user != reg.ownerName) {
      Refuse(services, owner,
             FormatEventText(text::kUserMismatch, letter, serial, reg.ownerName, user.c_str()));
      return std::nullopt;
    }
  }
  if (!match) {
    Refuse(services, owner, FormatEventText(text::kNotAuthorized, letter, serial));
    return std::nullopt;
  }
  const AuthEntry& chosen = list.entries[*match];
  if (chosen.useLimited != 0 && chosen.usesLeft == 0) {
    Refuse(services, owner, FormatEventText(text::kUsesExhausted, letter, serial));
    return std::nullopt;
  }
  list.matched = *match;
  return list;
}

void ConsumeUse(AdmissionServices& services, SecureDisk& disk, AuthorizationList& list,
                char letter, const char* serial, platform::DialogWindow* owner) {
  AuthEntry& entry = list.entries[list.matched];
  if (entry.useLimited == 0) return;
  entry.usesLeft = static_cast<std::uint16_t>(entry.usesLeft - 1);
  const std::int32_t saved =
      disk.SaveAuthList(static_cast<std::int32_t>(list.entries.size()), list.entries.data());
  if (saved == 0) {
    const EventText t = FormatEventText(text::kUseConsumed, letter, serial);
    services.Report(t.view(), kEventType);
    services.Ui().MessageBox(owner, t.view(), text::kCaptionNotice, platform::kMbIconInformation);
  } else {
    services.Report(FormatEventText(text::kUseConsumeFailed, letter, serial, saved).view(),
                    kEventType);
  }
}

}  // namespace torvane::admission

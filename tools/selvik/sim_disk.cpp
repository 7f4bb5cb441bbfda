#include "tools/selvik/sim_disk.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace selvik {
namespace {

// Results the stand-in gives where the file forces nothing.
constexpr std::int32_t kNoDisk = -1;
constexpr std::int32_t kWrongPassword = 1;
constexpr std::int32_t kOpenRefused = 3;
constexpr std::int32_t kChangeRefused = 5;
constexpr std::int32_t kUnregistered = -2;
constexpr std::int32_t kTooManyTries = 10;

long long Number(const std::string* text, long long fallback) {
  if (!text || text->empty()) return fallback;
  return std::strtoll(text->c_str(), nullptr, 0);
}

std::string DriveName(int letter) { return std::string("drive ") + static_cast<char>(letter); }

Section* Drive(SimFile& f, int letter) {
  if (letter < 'a' || letter > 'z') return nullptr;
  return f.Find(DriveName(letter));
}

// The disk of the letter-less calls: the latest IsDIZaraz letter.
Section* Selected(SimFile& f) {
  Section* lib = f.Find("library");
  const std::string* sel = lib ? lib->Find("selected") : nullptr;
  if (!sel || sel->size() != 1) return nullptr;
  return Drive(f, (*sel)[0]);
}

// A forced result, when the file names one for this call.
bool Forced(const Section* s, const char* key, std::int32_t& out) {
  const std::string* v = s ? s->Find(key) : nullptr;
  if (!v || v->empty()) return false;
  out = static_cast<std::int32_t>(Number(v, 0));
  return true;
}

// "\xHH" gives any byte and "\\" a backslash, so that a disk can hand out
// control bytes; other text is taken byte for byte.
std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
               std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
               std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

void CopyText(char* dst, std::size_t size, const std::string* text) {
  const std::string s = text ? Unescape(*text) : std::string();
  const std::size_t n = std::min(s.size(), size - 1);
  std::memcpy(dst, s.data(), n);
  dst[n] = '\0';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "auth = UNITID(32 hex) useLimited usesLeft accessValue fieldMask"
AuthEntry ParseAuth(const std::string& line) {
  AuthEntry e{};
  std::istringstream in(line);
  std::string unit, limited, left, access, mask;
  in >> unit >> limited >> left >> access >> mask;
  for (std::size_t i = 0; i < 16 && 2 * i + 1 < unit.size(); ++i) {
    const int hi = HexValue(unit[2 * i]), lo = HexValue(unit[2 * i + 1]);
    if (hi < 0 || lo < 0) break;
    e.unitId[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  e.useLimited = static_cast<std::uint16_t>(Number(&limited, 0));
  e.usesLeft = static_cast<std::uint16_t>(Number(&left, 0));
  e.accessValue = static_cast<std::int8_t>(Number(&access, 0));
  e.fieldMask = static_cast<std::uint32_t>(Number(&mask, 0));
  return e;
}

std::string FormatAuth(const AuthEntry& e) {
  char buf[128];
  int n = 0;
  for (std::uint8_t b : e.unitId) n += std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), "%02X", b);
  std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), " %u %u %d 0x%08X",
                static_cast<unsigned>(e.useLimited), static_cast<unsigned>(e.usesLeft),
                static_cast<int>(e.accessValue), static_cast<unsigned>(e.fieldMask));
  return buf;
}

std::string Letter(int letter) {
  return (letter >= 32 && letter < 127) ? std::string(1, static_cast<char>(letter))
                                        : std::to_string(letter);
}

}  // namespace

std::uint32_t UsbStorageMask(SimFile& f, Call&) {
  Section* lib = f.Find("library");
  if (const std::string* forced = lib ? lib->Find("mask") : nullptr)
    return static_cast<std::uint32_t>(Number(forced, 0));
  std::uint32_t mask = 0;
  for (const auto& s : f.sections) {
    if (s.name.size() == 7 && s.name.rfind("drive ", 0) == 0 && s.name[6] >= 'a' && s.name[6] <= 'z')
      mask |= 1u << (s.name[6] - 'a');
  }
  return mask;
}

std::int32_t DiskInfo(SimFile& f, Call& c, int letter, char* vid, char* pid, char* serial) {
  c.log = Letter(letter);
  Section* d = Drive(f, letter);
  if (!d) return kNoDisk;
  std::int32_t r = 0;
  if (Forced(d, "info", r) && r != 0) return r;
  CopyText(vid, torvane::admission::kVidSize, d->Find("vid"));
  CopyText(pid, torvane::admission::kPidSize, d->Find("pid"));
  CopyText(serial, torvane::admission::kSerialSize, d->Find("serial"));
  return 0;
}

std::int32_t IsClassified(SimFile& f, Call& c, int letter) {
  c.log = Letter(letter);
  Section& lib = f.Get("library");  // may grow the section list: look up the drive after
  Section* d = Drive(f, letter);
  const std::string sel = d ? std::string(1, static_cast<char>(letter)) : std::string();
  if (!lib.Find("selected") || *lib.Find("selected") != sel) {
    lib.Set("selected", sel);
    c.changed = true;
  }
  if (!d) return 0;
  return Number(d->Find("classified"), 0) != 0 ? 1 : 0;
}

std::int32_t OpenOrdinary(SimFile& f, Call& c, int letter) {
  c.log = Letter(letter);
  Section* d = Drive(f, letter);
  if (!d) return 0;
  return static_cast<std::int32_t>(Number(d->Find("open_udisk"), 1));
}

std::int32_t LoadRegistration(SimFile& f, Call&, RegInfo* info) {
  Section* d = Selected(f);
  if (!d || Number(d->Find("classified"), 0) == 0) return kNoDisk;
  std::int32_t r = 0;
  if (Forced(d, "reg", r) && r != 0) return r;
  CopyText(info->ownerName, sizeof info->ownerName, d->Find("owner"));
  const auto count = static_cast<std::int32_t>(
      Number(d->Find("auth_count"), static_cast<long long>(d->All("auth").size())));
  info->authCount = count;
  info->generalAllowed = static_cast<std::uint8_t>(Number(d->Find("general"), 0));
  info->checkUser = static_cast<std::uint8_t>(Number(d->Find("check_user"), 0));
  return 0;
}

std::int32_t LoadAuthorizations(SimFile& f, Call& c, std::int32_t count, AuthEntry* entries) {
  c.log = std::to_string(count);
  Section* d = Selected(f);
  if (!d) return kNoDisk;
  std::int32_t r = 0;
  if (Forced(d, "load_auth", r)) return r;
  const auto lines = d->All("auth");
  for (std::int32_t i = 0; i < count; ++i)
    entries[i] = static_cast<std::size_t>(i) < lines.size() ? ParseAuth(lines[static_cast<std::size_t>(i)]) : AuthEntry{};
  return 0;
}

std::int32_t SaveAuthorizations(SimFile& f, Call& c, std::int32_t count, const AuthEntry* entries) {
  c.log = std::to_string(count);
  Section* d = Selected(f);
  if (!d) return kNoDisk;
  std::int32_t r = 0;
  if (Forced(d, "save_auth", r)) return r;
  d->RemoveAll("auth");
  for (std::int32_t i = 0; i < count; ++i) d->Add("auth", FormatAuth(entries[i]));
  d->Set("saved", std::to_string(Number(d->Find("saved"), 0) + 1));
  c.changed = true;
  return 0;
}

std::int32_t TryPassword(SimFile& f, Call& c, const char* password) {
  c.log = password;
  Section* d = Selected(f);
  if (!d || Number(d->Find("classified"), 0) == 0) return kUnregistered;
  std::int32_t r = 0;
  if (Forced(d, "try_result", r)) return r;
  if (Number(d->Find("reg"), 0) != 0) return kUnregistered;
  const long long limit = Number(d->Find("try_limit"), 0);
  const long long tries = Number(d->Find("tries"), 0);
  if (limit > 0 && tries >= limit) return kTooManyTries;
  const std::string* right = d->Find("password");
  if (right && *right == password) {
    if (tries != 0) {
      d->Set("tries", "0");
      c.changed = true;
    }
    return 0;
  }
  d->Set("tries", std::to_string(tries + 1));
  c.changed = true;
  return kWrongPassword;
}

std::int32_t OpenProtected(SimFile& f, Call& c, const char* password, int letter, int accessValue) {
  c.log = std::string(password) + " " + Letter(letter) + " " + std::to_string(accessValue);
  Section* d = Drive(f, letter);
  if (!d || Number(d->Find("classified"), 0) == 0) return kNoDisk;
  std::int32_t r = 0;
  if (!Forced(d, "open_sec", r)) {
    const std::string* right = d->Find("password");
    r = (right && *right == password) ? 0 : kOpenRefused;
  }
  if (r == 0) {
    d->Set("opened", std::to_string(Number(d->Find("opened"), 0) + 1));
    d->Set("access", std::to_string(accessValue));
    c.changed = true;
  }
  return r;
}

std::int32_t ChangePassword(SimFile& f, Call& c, const char* oldPassword, const char* newPassword) {
  c.log = std::string(oldPassword) + " " + newPassword;
  Section* d = Selected(f);
  if (!d || Number(d->Find("classified"), 0) == 0) return kNoDisk;
  std::int32_t r = 0;
  if (Forced(d, "change", r)) return r;
  const std::string* right = d->Find("password");
  if (!right || *right != oldPassword) return kChangeRefused;
  d->Set("password", newPassword);
  c.changed = true;
  return 0;
}

}  // namespace selvik

#include "filewatch/change_buffer.h"

#include <cstring>

namespace torvane::filewatch {
namespace {

constexpr std::size_t kHeader = 12;

std::uint32_t U32(const std::byte* at) {
  std::uint32_t v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

// Bytes of the entry's name that lie inside the valid part of the buffer.
std::size_t NameBytes(const std::byte* buffer, std::size_t pos, std::size_t valid) {
  const std::size_t room = valid - pos - kHeader;
  const std::size_t len = U32(buffer + pos + 8);
  return len < room ? len : room;
}

std::u16string Name(const std::byte* buffer, std::size_t pos, std::size_t valid) {
  std::u16string name(NameBytes(buffer, pos, valid) / 2, u'\0');
  std::memcpy(name.data(), buffer + pos + kHeader, name.size() * 2);
  return name;
}

// Position of the entry after the one at `pos`, or 0 when there is none
// (offset 0, or the next header would not lie inside the valid bytes).
std::size_t Next(const std::byte* buffer, std::size_t pos, std::size_t valid) {
  const std::uint64_t next = U32(buffer + pos);
  if (next == 0 || pos + next + kHeader > valid) return 0;
  return pos + static_cast<std::size_t>(next);
}

std::size_t Keep(std::byte* buffer, std::size_t pos, std::size_t valid) {
  const std::size_t name = NameBytes(buffer, pos, valid) & ~std::size_t{1};
  const std::size_t kept = (kHeader + name + 3) & ~std::size_t{3};
  if (kept > kMaxKeptEntry) return 0;
  std::memmove(buffer, buffer + pos, kHeader + name);
  std::memset(buffer + kHeader + name, 0, kept - kHeader - name);
  const auto k = static_cast<std::uint32_t>(kept);
  const auto n = static_cast<std::uint32_t>(name);
  std::memcpy(buffer, &k, 4);
  std::memcpy(buffer + 8, &n, 4);
  return kept;
}

}  // namespace

std::size_t ParseChangeBuffer(std::byte* buffer, std::size_t valid, ChangeVisitor& visitor) {
  if (valid > platform::kChangeBufferSize) valid = platform::kChangeBufferSize;
  std::size_t pos = 0;
  while (pos + kHeader <= valid) {
    switch (U32(buffer + pos + 4)) {
      case platform::kActionAdded:
        visitor.OnChange(ChangeAction::kAdded, Name(buffer, pos, valid), nullptr);
        break;
      case platform::kActionRemoved:
        visitor.OnChange(ChangeAction::kRemoved, Name(buffer, pos, valid), nullptr);
        break;
      case platform::kActionModified:
        visitor.OnChange(ChangeAction::kModified, Name(buffer, pos, valid), nullptr);
        break;
      case platform::kActionRenamedOldName: {
        const std::size_t next = Next(buffer, pos, valid);
        if (next == 0) return Keep(buffer, pos, valid);
        // The entry after an old name is its new name, whatever its action.
        const std::u16string new_name = Name(buffer, next, valid);
        visitor.OnChange(ChangeAction::kRenamed, Name(buffer, pos, valid), &new_name);
        pos = next;
        break;
      }
      default:
        break;  // a new name on its own, or an action we do not know
    }
    const std::size_t next = Next(buffer, pos, valid);
    if (next == 0) break;
    pos = next;
  }
  return 0;
}

}  // namespace torvane::filewatch

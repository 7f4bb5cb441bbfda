#pragma once
// Walks the change entries a directory read left in a watch's 4096-byte
// buffer and pairs renames. An old-name entry whose new name has not come
// yet is moved to the start of the buffer, to be paired with the first entry
// of the next read. Entries are trusted for nothing: every offset and length
// is checked against the bytes the read delivered.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/dir_changes.h"

namespace torvane::filewatch {

enum class ChangeAction { kAdded, kRemoved, kModified, kRenamed };

class ChangeVisitor {
 public:
  virtual ~ChangeVisitor() = default;
  // `name` relative to the watched directory; `new_name` only for kRenamed.
  virtual void OnChange(ChangeAction action, const std::u16string& name,
                        const std::u16string* new_name) = 0;
};

// Largest old-name entry kept for the next read; a longer one (a relative
// path of over a thousand characters) is dropped so that the next read keeps
// room for its own entries.
inline constexpr std::size_t kMaxKeptEntry = platform::kChangeBufferSize / 2;

// Parses buffer[0, valid) (valid is clamped to the buffer's size) and
// returns the size of the entry kept at the start of the buffer, 0 for none.
std::size_t ParseChangeBuffer(std::byte* buffer, std::size_t valid, ChangeVisitor& visitor);

}  // namespace torvane::filewatch

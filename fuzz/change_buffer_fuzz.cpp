// The change-buffer parser against arbitrary buffers: whatever the offsets
// and lengths say, nothing outside the 4096 bytes is read, a kept entry
// always leaves room for the next read, and the walk ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "filewatch/change_buffer.h"
#include "filewatch/full_path.h"

namespace {

class Visitor final : public torvane::filewatch::ChangeVisitor {
 public:
  void OnChange(torvane::filewatch::ChangeAction, const std::u16string& name,
                const std::u16string* new_name) override {
    if (name.size() > torvane::platform::kChangeBufferSize / 2) std::abort();
    // Full paths are what the sink gets; their names never exceed 260 bytes.
    if (torvane::filewatch::FullPath("e:\\", name).size() > 3 + 260) std::abort();
    if (new_name && new_name->size() > torvane::platform::kChangeBufferSize / 2) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  // Exactly the buffer's size on the heap, so any stray read is caught.
  std::vector<std::byte> buffer(torvane::platform::kChangeBufferSize);
  const std::size_t valid = (data[0] | data[1] << 8) % 5000;  // at times more than the buffer
  const std::size_t second = (data[2] | data[3] << 8) % 5000;
  data += 4;
  size -= 4;
  const std::size_t first = size < buffer.size() ? size : buffer.size();
  std::memcpy(buffer.data(), data, first);

  Visitor visitor;
  const std::size_t kept = torvane::filewatch::ParseChangeBuffer(buffer.data(), valid, visitor);
  if (kept % 4 != 0 || kept > torvane::filewatch::kMaxKeptEntry) std::abort();
  if (kept == 0) return 0;
  // The next read lands after the kept entry.
  const std::size_t rest = size - first;
  const std::size_t room = buffer.size() - kept;
  std::memcpy(buffer.data() + kept, data + first, rest < room ? rest : room);
  torvane::filewatch::ParseChangeBuffer(buffer.data(), kept + second, visitor);
  return 0;
}

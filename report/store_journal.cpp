#include "report/store_journal.h"

#include <array>

#include "report/planted_file.h"
#include "report/store_format.h"

namespace torvane::report {
namespace {

// "TVSJ", the old size (8 bytes, little-endian), the tail length (1 byte),
// the tail (16 or 32 bytes), optionally the new size (8 bytes) and new last
// block (16 bytes), and a checksum of everything before it (4 bytes).
constexpr char kMagic[4] = {'T', 'V', 'S', 'J'};
constexpr std::size_t kHeader = 4 + 8 + 1;
constexpr std::size_t kOutcome = 8 + kStoreBlock;
constexpr std::size_t kMaxNote = kHeader + 2 * kStoreBlock + kOutcome + 4;

std::uint32_t Checksum(std::string_view bytes) {
  std::uint32_t h = 2166136261u;  // FNV-1a
  for (const char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return h;
}

void PutLe(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

std::uint64_t GetLe(std::string_view in, int bytes) {
  std::uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i)
    value = value << 8 | static_cast<unsigned char>(in[static_cast<std::size_t>(i)]);
  return value;
}

struct Note {
  std::uint64_t size = 0;
  std::string tail;
  std::uint64_t newSize = 0;  // 0 when the note does not say
  std::string newLast;
};

bool ParseNote(std::string_view bytes, Note& note) {
  if (bytes.size() < kHeader + 4 || bytes.substr(0, 4) != std::string_view(kMagic, 4))
    return false;
  const std::size_t tail = static_cast<unsigned char>(bytes[12]);
  if (tail != kStoreBlock && tail != 2 * kStoreBlock) return false;
  const bool outcome = bytes.size() == kHeader + tail + kOutcome + 4;
  if (!outcome && bytes.size() != kHeader + tail + 4) return false;
  const std::size_t body = bytes.size() - 4;
  if (GetLe(bytes.substr(body), 4) != Checksum(bytes.substr(0, body))) return false;
  note.size = GetLe(bytes.substr(4), 8);
  note.tail.assign(bytes.substr(kHeader, tail));
  if (outcome) {
    note.newSize = GetLe(bytes.substr(kHeader + tail), 8);
    note.newLast.assign(bytes.substr(kHeader + tail + 8, kStoreBlock));
  }
  // The note saves the last bytes of a store of whole blocks.
  return note.size >= tail && note.size % kStoreBlock == 0 &&
         (tail == 2 * kStoreBlock || note.size == kStoreBlock);
}

}  // namespace

std::string StoreJournalPath(const std::string& storePath) { return storePath + ".journal"; }

bool WriteStoreJournal(const std::string& storePath, std::uint64_t oldSize,
                       std::string_view oldTail, std::uint64_t newSize,
                       std::string_view newLast) {
  std::string note(kMagic, 4);
  PutLe(note, oldSize, 8);
  note += static_cast<char>(oldTail.size());
  note += oldTail;
  if (newSize != 0 && newLast.size() == kStoreBlock) {
    PutLe(note, newSize, 8);
    note += newLast;
  }
  PutLe(note, Checksum(note), 4);
  const std::string path = StoreJournalPath(storePath);
  // Made afresh and exclusively: whatever was planted under the name since
  // the last append removed its note is refused, never written through.
  platform::RemoveFile(path);
  auto file = platform::File::Open(path, platform::File::Mode::kCreateNew);
  if (!file) {
    RefusePlanted("Store journal", path);
    return false;
  }
  const auto io = file->WriteAt(0, note);
  return io.ok && io.bytes == note.size() && file->Truncate(note.size()) && file->Sync();
}

void RemoveStoreJournal(const std::string& storePath) {
  platform::RemoveFile(StoreJournalPath(storePath));
}

void RecoverStoreJournal(const std::string& storePath, platform::File& store) {
  const std::string path = StoreJournalPath(storePath);
  // A link or FIFO under the note's name is no note: it is logged, never
  // read or waited on, and removed (the name itself, not what it points to).
  if (RefusePlanted("Store journal", path)) {
    platform::RemoveFile(path);
    return;
  }
  if (!platform::FileExists(path)) return;
  std::string bytes;
  if (auto file = platform::File::Open(path, platform::File::Mode::kReadShared)) {
    std::array<char, kMaxNote + 1> buffer{};
    const auto io = file->ReadAt(0, buffer.data(), buffer.size());
    if (io.ok) bytes.assign(buffer.data(), io.bytes);
  }
  Note note;
  const auto size = store.Size();
  if (ParseNote(bytes, note) && size) {
    const std::uint64_t tailAt = note.size - note.tail.size();
    // The interrupted append wrote from the saved last block onwards; the
    // block before it must still be there, or the store has been replaced.
    bool same = *size >= note.size - kStoreBlock;
    if (same && note.tail.size() == 2 * kStoreBlock) {
      std::array<char, kStoreBlock> before{};
      const auto io = store.ReadAt(tailAt, before.data(), before.size());
      same = io.ok && io.bytes == kStoreBlock &&
             std::string_view(before.data(), kStoreBlock) ==
                 std::string_view(note.tail).substr(0, kStoreBlock);
    }
    if (same && note.newSize != 0 && *size == note.newSize) {
      // The append may have completed and only the note's removal failed.
      std::array<char, kStoreBlock> last{};
      const auto io = store.ReadAt(*size - kStoreBlock, last.data(), last.size());
      if (io.ok && io.bytes == kStoreBlock &&
          std::string_view(last.data(), kStoreBlock) == note.newLast)
        same = false;
    }
    if (same) {
      const auto io = store.WriteAt(tailAt, note.tail);
      if (!io.ok || io.bytes != note.tail.size() || !store.Truncate(note.size) || !store.Sync())
        return;  // keep the note for the next try
    }
  }
  platform::RemoveFile(path);
}

}  // namespace torvane::report

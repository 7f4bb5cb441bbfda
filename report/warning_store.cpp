#include "report/warning_store.h"

#include <array>
#include <climits>
#include <cstdio>
#include <optional>

#include "config/check_value.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "report/operation_log.h"
#include "report/planted_file.h"
#include "report/store_chain.h"
#include "report/store_cipher.h"
#include "report/store_format.h"
#include "report/store_journal.h"
#include "report/store_lock.h"
#include "report/store_salvage.h"

namespace torvane::report {
namespace {

// A store only grows past kStoreLimit by its last record; anything far
// bigger is not a store, and is not read into memory.
constexpr std::uint64_t kStoreReadLimit = 2 * kStoreLimit;

int ClampInt(std::uint64_t value) {
  return value > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

void LogRead(const platform::File::Io& io, std::uint64_t length) {
  char line[128];
  std::snprintf(line, sizeof line, "Error:ReadFile nRet:%d, dwRead:%d, dwLength:%d\n",
                io.ok ? 1 : 0, ClampInt(io.bytes), ClampInt(length));
  WriteOperationLog(line);
}

void LogCode(const char* what, int code) {
  char line[64];
  std::snprintf(line, sizeof line, "Error:%s %d\n", what, code);
  WriteOperationLog(line);
}

// The chain state at the store's end: the ciphertext block before the last
// (the IV for a one-block store) and the plaintext bytes in the last block.
struct Tail {
  std::string chain = std::string(kStoreIv.begin(), kStoreIv.end());
  std::string plain;
  std::string saved;  // the last up to two ciphertext blocks as found
};

enum class TailStatus { kOk, kUnreadable };

TailStatus ReadTail(platform::File& store, std::uint64_t size, Tail& tail) {
  if (size == 0) return TailStatus::kOk;
  if (size % kStoreBlock != 0) {
    LogCode("Decrypt", 3);
    return TailStatus::kUnreadable;
  }
  const std::size_t want = size >= 2 * kStoreBlock ? 2 * kStoreBlock : kStoreBlock;
  std::array<char, 2 * kStoreBlock> buffer{};
  const auto io = store.ReadAt(size - want, buffer.data(), want);
  if (!io.ok || io.bytes != want) {
    LogRead(io, want);
    return TailStatus::kUnreadable;
  }
  tail.saved.assign(buffer.data(), want);
  if (want == 2 * kStoreBlock) tail.chain.assign(buffer.data(), kStoreBlock);
  const int code = DecryptChainTail(
      tail.chain, std::string_view(buffer.data() + want - kStoreBlock, kStoreBlock), tail.plain);
  if (code != 0) {
    LogCode("Decrypt", code);
    return TailStatus::kUnreadable;
  }
  return TailStatus::kOk;
}

// Moves an unreadable store out of the way, keeping its bytes for support:
// "<store>.damaged-YYYYMMDDhhmmss", with "-N" added while that name is taken.
bool SetAside(const std::string& storePath) {
  const platform::LocalTime t = platform::LocalTimeNow();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  const std::string base = storePath + ".damaged-" + stamp;
  for (int n = 0; n < 100; ++n) {
    const std::string target = n == 0 ? base : base + "-" + std::to_string(n);
    if (platform::FileExists(target)) continue;
    if (platform::RenameFile(storePath, target)) {
      WriteOperationLog("Error:Store set aside as " + target + "\n");
      return true;
    }
  }
  WriteOperationLog("Error:Store set aside failed, record dropped\n");
  return false;
}

void MirrorSize(platform::File& store) {
  const auto size = store.Size();
  config::SetCheckValue(size ? ClampInt(*size) : 0);
}

std::string SalvagePath(const std::string& storePath) { return storePath + ".salvage"; }

// A salvaged store is written beside the damaged one first and renamed into
// place once it is on disk; a crash between setting the damaged store aside
// and that rename leaves only the salvaged copy, which is put in place here.
// Only a regular file is ever renamed into place: a link planted under the
// salvage's name would have the consumer read, and appends write, elsewhere.
void FinishSalvage(const std::string& storePath) {
  const std::string salvage = SalvagePath(storePath);
  if (platform::FileExists(storePath) || platform::PlantedAt(storePath) ||
      !platform::FileExists(salvage) || RefusePlanted("Store salvage", salvage))
    return;
  platform::RenameFile(salvage, storePath);
}

std::optional<std::string> ReadWhole(const std::string& path) {
  using platform::File;
  auto file = File::Open(path, File::Mode::kReadShared);
  if (!file) return std::nullopt;
  const auto size = file->Size();
  if (!size || *size > kStoreReadLimit) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(*size), '\0');
  const auto io = file->ReadAt(0, bytes.data(), bytes.size());
  if (!io.ok || io.bytes != bytes.size()) {
    LogRead(io, *size);
    return std::nullopt;
  }
  return bytes;
}

void LogWrite(const platform::File::Io& io, std::size_t length) {
  char line[128];
  std::snprintf(line, sizeof line, "Error:WriteFile nRet:%d, dwWrite:%d, dwLength:%d\n",
                io.ok ? 1 : 0, ClampInt(io.bytes), ClampInt(length));
  WriteOperationLog(line);
}

// The store does not decrypt whole: keeps the records its whole blocks still
// hold, sets the damaged file aside and puts a store of those records and the
// new one in its place. The damaged store stays untouched until its
// replacement is complete on disk.
int SalvageAndAppend(const std::string& storePath, std::string_view record) {
  using platform::File;
  SalvagedStore salvaged;
  if (const auto bytes = ReadWhole(storePath)) {
    salvaged = SalvageWarningStore(*bytes);
  } else if (const auto size = File::Open(storePath, File::Mode::kReadShared)) {
    salvaged.unreadable = size->Size().value_or(0);
  }
  char line[160];
  std::snprintf(line, sizeof line,
                "Error:Store damaged, %llu bytes unreadable, %llu records salvaged, %llu records lost\n",
                static_cast<unsigned long long>(salvaged.unreadable),
                static_cast<unsigned long long>(salvaged.records),
                static_cast<unsigned long long>(salvaged.lost));
  WriteOperationLog(line);

  std::string plain = std::move(salvaged.plaintext);
  if (!record.empty()) {
    plain += record;
    plain += ',';
  }
  std::string cipher;
  if (const int code = StoreCipher().Encrypt(plain, cipher); code != 0) {
    LogCode("Encrypt", code);
    return -1;
  }
  const std::string salvage = SalvagePath(storePath);
  platform::RemoveFile(salvage);
  {
    // Made exclusively: nothing planted since the removal is written through.
    auto out = File::Open(salvage, File::Mode::kCreateNew);
    if (!out) {
      RefusePlanted("Store salvage", salvage);
      return -1;
    }
    const auto io = out->WriteAt(0, cipher);
    if (!io.ok || io.bytes != cipher.size() || !out->Truncate(cipher.size()) || !out->Sync()) {
      out.reset();
      platform::RemoveFile(salvage);
      LogWrite(io, cipher.size());
      return -1;
    }
  }
  if (!SetAside(storePath)) {
    platform::RemoveFile(salvage);
    return -1;
  }
  if (RefusePlanted("Store salvage", salvage) || !platform::RenameFile(salvage, storePath))
    return -1;  // the next append retries
  if (auto store = File::Open(storePath, File::Mode::kReadWriteAlways)) MirrorSize(*store);
  return 0;
}

int AppendLocked(const std::string& storePath, std::string_view record) {
  using platform::File;
  FinishSalvage(storePath);
  auto store = File::Open(storePath, File::Mode::kReadWriteAlways);
  if (!store) {
    RefusePlanted("Store", storePath);
    return -1;
  }
  RecoverStoreJournal(storePath, *store);
  const auto size = store->Size();
  if (!size || *size >= kStoreLimit) return -1;

  Tail tail;
  if (ReadTail(*store, *size, tail) != TailStatus::kOk) {
    store.reset();
    return SalvageAndAppend(storePath, record);
  }

  std::string plain = std::move(tail.plain);
  if (!record.empty()) {
    plain += record;
    plain += ',';
  }
  std::string cipher;
  if (*size != 0 || !plain.empty()) {
    const int code = EncryptChainTail(tail.chain, plain, cipher);
    if (code != 0) {
      LogCode("Encrypt", code);
      return -1;  // the store stays as it was
    }
  }

  const std::uint64_t at = *size == 0 ? 0 : *size - kStoreBlock;
  // The tail is overwritten only once its old bytes are noted on disk: a
  // crash part way through can then always be undone.
  const std::string_view newLast =
      cipher.size() >= kStoreBlock ? std::string_view(cipher).substr(cipher.size() - kStoreBlock)
                                   : std::string_view();
  if (*size != 0 && !WriteStoreJournal(storePath, *size, tail.saved, at + cipher.size(), newLast)) {
    RemoveStoreJournal(storePath);
    WriteOperationLog("Error:StoreJournal not written, record dropped\n");
    return -1;
  }
  const auto io = store->WriteAt(at, cipher);
  const bool written = io.ok && io.bytes == cipher.size();
  const bool appended = written && store->Truncate(at + cipher.size()) && store->Sync();
  bool settled = appended;
  if (!appended && *size != 0) {
    // Put the old tail back so that the store stays as it was.
    const auto undo = store->WriteAt(*size - tail.saved.size(), tail.saved);
    settled = undo.ok && undo.bytes == tail.saved.size() && store->Truncate(*size) && store->Sync();
  }
  MirrorSize(*store);
  store.reset();
  // An unsettled store keeps its note, and the next append repairs it.
  if (*size != 0 && settled) RemoveStoreJournal(storePath);

  if (!written)
    LogWrite(io, cipher.size());
  else if (!appended)
    WriteOperationLog("Error:Store write not completed, record dropped\n");
  return appended ? 0 : -1;
}

}  // namespace

int AppendWarningRecord(const std::string& storePath, std::string_view record) {
  if (storePath.empty()) return -1;
  try {
    auto lock = AcquireStoreLock();
    if (!lock) return -1;
    return AppendLocked(storePath, record);
  } catch (...) {
    return -1;  // out of memory: the record is lost, the store untouched
  }
}

std::string ReadWarningStore(const std::string& storePath) {
  try {
    using platform::File;
    if (storePath.empty()) return {};
    auto store = File::Open(storePath, File::Mode::kReadShared);
    if (!store) return {};
    const auto size = store->Size();
    if (!size) return {};
    if (*size > kStoreReadLimit) {
      LogRead(File::Io{false, 0}, *size);
      return {};
    }
    std::string bytes(static_cast<std::size_t>(*size), '\0');
    const auto io = store->ReadAt(0, bytes.data(), bytes.size());
    store.reset();
    if (!io.ok || io.bytes != bytes.size()) {
      LogRead(io, *size);
      return {};
    }
    DecodedStore decoded = DecodeWarningStore(bytes);
    if (decoded.code != 0) {
      LogCode("Decrypt", decoded.code);
      return {};
    }
    return std::move(decoded.plaintext);
  } catch (...) {
    return {};
  }
}

DecodedStore DecodeWarningStore(std::string_view fileBytes) {
  DecodedStore decoded;
  StoreCipher cipher;
  decoded.code = cipher.Decrypt(fileBytes, decoded.plaintext, 1);
  if (decoded.code != 0) decoded.plaintext.clear();
  return decoded;
}

std::vector<std::string> SplitWarningRecords(std::string_view plaintext) {
  std::vector<std::string> records;
  const bool reporter = plaintext.size() >= 2 && plaintext.substr(plaintext.size() - 2) == "|,";
  std::size_t start = 0;
  for (std::size_t i = 0; i < plaintext.size(); ++i) {
    if (plaintext[i] != ',') continue;
    if (reporter && (i == start || plaintext[i - 1] != '|')) continue;
    records.emplace_back(plaintext.substr(start, i - start));
    start = i + 1;
  }
  if (start < plaintext.size()) records.emplace_back(plaintext.substr(start));
  return records;
}

}  // namespace torvane::report

#include "tools/store/store_file.h"

#include "platform/file.h"
#include "report/store_format.h"
#include "report/store_salvage.h"
#include "report/warning_store.h"

namespace torvane::store_tool {
namespace {

// Exit codes: 1 the file cannot be had or holds nothing, 3 it is not a
// readable store.
Loaded Fail(int code, std::string problem, std::uint64_t size = 0) {
  Loaded loaded;
  loaded.exitCode = code;
  loaded.problem = std::move(problem);
  loaded.fileSize = size;
  return loaded;
}

}  // namespace

Loaded LoadStore(const std::string& path) {
  using platform::File;
  if (!platform::FileExists(path)) return Fail(1, "no such file");
  auto file = File::Open(path, File::Mode::kReadShared);
  if (!file) return Fail(1, "cannot be opened for reading");
  const auto size = file->Size();
  if (!size) return Fail(1, "its size cannot be read");
  if (*size == 0) return Fail(1, "the store is empty (0 bytes, no records)");
  // The library stops adding at 64 MiB, so a store ends shortly after it.
  if (*size > 2 * report::kStoreLimit)
    return Fail(3, "too large to be a warning store (" + std::to_string(*size) + " bytes)", *size);
  std::string bytes(static_cast<std::size_t>(*size), '\0');
  const auto io = file->ReadAt(0, bytes.data(), bytes.size());
  if (!io.ok || io.bytes != bytes.size())
    return Fail(1, "read failed after " + std::to_string(io.bytes) + " bytes", *size);
  const report::DecodedStore decoded = report::DecodeWarningStore(bytes);
  // Every record the library adds ends with ",".
  if (decoded.code != 0 || decoded.plaintext.empty() || decoded.plaintext.back() != ',') {
    std::string why;
    if (*size % report::kStoreBlock != 0)
      why = "damaged: " + std::to_string(*size) + " bytes is not a whole number of " +
            std::to_string(report::kStoreBlock) + "-byte cipher blocks";
    else if (decoded.code != 0)
      why = "does not decrypt (damaged, or not a warning store; cipher code " +
            std::to_string(decoded.code) + ")";
    else
      why = "decrypts, but not to records ending in \",\" (not a warning store)";
    Loaded loaded = Fail(3, std::move(why), *size);
    const report::SalvagedStore salvaged = report::SalvageWarningStore(bytes);
    if (salvaged.records != 0) {
      loaded.records = report::SplitWarningRecords(salvaged.plaintext);
      loaded.plainSize = salvaged.plaintext.size();
      loaded.problem += "; " + std::to_string(salvaged.records) + " records salvaged, " +
                        std::to_string(salvaged.lost) + " records lost, " +
                        std::to_string(salvaged.unreadable) + " bytes could not be read";
    } else {
      loaded.problem += "; no record could be salvaged";
    }
    return loaded;
  }
  Loaded loaded;
  loaded.fileSize = *size;
  loaded.plainSize = decoded.plaintext.size();
  loaded.records = report::SplitWarningRecords(decoded.plaintext);
  return loaded;
}

}  // namespace torvane::store_tool

// torvane-store: the warning store reader.
//   torvane-store dump PATH    every record, one per line, oldest first; of
//                              a damaged store the records it still holds
//   torvane-store check PATH   whether the file decrypts, its record count
// Records are printed as stored (ANSI code page bytes); control bytes such
// as line feeds inside a record are shown as \xHH so one record stays one
// line.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/store/store_file.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: torvane-store dump PATH    print every record, oldest first\n"
               "       torvane-store check PATH   verify the store decrypts; count records\n");
  return 2;
}

void PrintRecord(const std::string& record) {
  std::string line;
  for (const char c : record) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", b);
      line += hex;
    } else {
      line += c;
    }
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  const bool dump = std::strcmp(argv[1], "dump") == 0;
  if (!dump && std::strcmp(argv[1], "check") != 0) return Usage();
  const std::string path = argv[2];
  const auto loaded = torvane::store_tool::LoadStore(path);
  if (loaded.exitCode != 0) {
    if (dump) {
      for (const auto& record : loaded.records) PrintRecord(record);
      std::fflush(stdout);
    }
    std::fprintf(stderr, "torvane-store: %s: %s\n", path.c_str(), loaded.problem.c_str());
    return loaded.exitCode;
  }
  if (dump) {
    for (const auto& record : loaded.records) PrintRecord(record);
  } else {
    const std::string line = path + ": ok, " + std::to_string(loaded.records.size()) +
                             " records, " + std::to_string(loaded.fileSize) + " bytes (" +
                             std::to_string(loaded.plainSize) + " bytes decrypted)\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

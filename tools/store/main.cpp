// torvane-store: the warning store reader.
//   torvane-store dump PATH    every record, one per line, oldest first; of
//                              a damaged store the records it still holds
//   torvane-store check PATH   whether the file decrypts, its record count
//   --raw (anywhere)           records as stored, in GBK bytes
// Records are stored in the ANSI code page; they are printed as the support
// tools print the system's texts (tools/common/text_output.h). Control bytes
// such as line feeds inside a record are shown as \xHH so one record stays
// one line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/common/text_output.h"
#include "tools/store/store_file.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: torvane-store dump PATH    print every record, oldest first\n"
               "       torvane-store check PATH   verify the store decrypts; count records\n"
               "Records are printed in UTF-8; --raw (anywhere) prints their GBK bytes.\n");
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
  torvane::tools::PrintLine(line);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--raw") == 0) {
      torvane::tools::SetRawOutput(true);
    } else {
      words.emplace_back(argv[i]);
    }
  }
  if (words.size() != 2) return Usage();
  const bool dump = words[0] == "dump";
  if (!dump && words[0] != "check") return Usage();
  const std::string& path = words[1];
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
    torvane::tools::PrintLine(torvane::tools::PathToAnsi(path) + ": ok, " +
                              std::to_string(loaded.records.size()) + " records, " +
                              std::to_string(loaded.fileSize) + " bytes (" +
                              std::to_string(loaded.plainSize) + " bytes decrypted)");
  }
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

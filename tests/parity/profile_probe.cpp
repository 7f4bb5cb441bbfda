// Answers profile queries through the platform seam, one answer per line.
// usage: profile_probe QUERIES
// Each query line is  S|file|section|key|default|size  or  I|file|section|key|default;
// files are paths as this platform writes them.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> out(1);
  for (const char c : line) {
    if (c == '|') {
      out.emplace_back();
    } else if (c != '\r') {
      out.back() += c;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: profile_probe QUERIES\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    const auto f = Split(line);
    if (f[0] == "S" && f.size() == 6) {
      const auto v = torvane::platform::ProfileString(
          f[2], f[3], f[4], std::strtoul(f[5].c_str(), nullptr, 10), f[1]);
      std::printf("[%s]\n", v.c_str());
    } else if (f[0] == "I" && f.size() == 5) {
      std::printf("%d\n", torvane::platform::ProfileInt(f[2], f[3], std::atoi(f[4].c_str()), f[1]));
    } else if (!line.empty()) {
      std::printf("bad query\n");
    }
  }
  return 0;
}

#pragma once
// Loads and decrypts a warning store file for the reader, with a message
// for each way a file can fail to be a store.
#include <cstdint>
#include <string>
#include <vector>

namespace torvane::store_tool {

struct Loaded {
  int exitCode = 0;     // 0 when the store is whole; 3 when damaged, records
                        // then holds what could be salvaged
  std::string problem;  // what is wrong, for the user
  std::uint64_t fileSize = 0;
  std::size_t plainSize = 0;
  std::vector<std::string> records;
};

Loaded LoadStore(const std::string& path);

}  // namespace torvane::store_tool

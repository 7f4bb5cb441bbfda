#pragma once
// The simulation file: an ordered list of sections, each an ordered list of
// key = value lines. Read and written whole; order and unknown keys survive a
// rewrite, comments do not.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace selvik {

struct Section {
  std::string name;  // "library", "drive e", ...
  std::vector<std::pair<std::string, std::string>> values;

  const std::string* Find(const std::string& key) const;
  std::vector<std::string> All(const std::string& key) const;
  void Set(const std::string& key, const std::string& value);  // first or new
  void RemoveAll(const std::string& key);
  void Add(const std::string& key, const std::string& value);
};

struct SimFile {
  std::vector<Section> sections;

  Section* Find(const std::string& name);
  Section& Get(const std::string& name);  // creates it when missing
};

std::optional<SimFile> ReadSimFile(const std::string& path);
bool WriteSimFile(const std::string& path, const SimFile& file);

// Swaps the disk at `letter`: the sections "drive x" and "spare x" trade
// names, so the next call finds the spare disk at the letter (and the disk
// that was there becomes the spare). False when the file has no such spare.
bool SwapSpareDisk(const std::string& path, char letter);

}  // namespace selvik

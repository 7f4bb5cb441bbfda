#pragma once
// Test helpers for the admission suite: process environment, and the
// stand-in secure-disk library with its simulation file.
#include <memory>
#include <string>
#include <vector>

#include "admission/secure_disk.h"
#include "support/temp_dir.h"

namespace torvane::test {

void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);

// A simulation file in a fresh folder, selected through SELVIK_SIM for as
// long as the object lives.
class SimulatedDisks {
 public:
  explicit SimulatedDisks(const std::string& contents);
  ~SimulatedDisks();
  SimulatedDisks(const SimulatedDisks&) = delete;
  SimulatedDisks& operator=(const SimulatedDisks&) = delete;

  const std::string& path() const { return path_; }
  std::string Contents() const;                 // the file as it is now
  std::vector<std::string> Calls() const;       // the call log, one per line
  std::string Value(const std::string& section, const std::string& key) const;
  // Puts the file's "[spare x]" disk in at `letter` (the stand-in's swap).
  void Swap(char letter) const;

 private:
  TempDir dir_;
  std::string path_;
};

// The stand-in library loaded through the production loader.
std::unique_ptr<admission::SecureDisk> LoadStandIn();

}  // namespace torvane::test

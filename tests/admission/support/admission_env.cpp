#include "admission_env.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "admission/selvik_library.h"
#include "tools/selvik/sim_file.h"

namespace torvane::test {

void SetEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
  ::_putenv_s(name.c_str(), value.c_str());
#else
  ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

void UnsetEnv(const std::string& name) {
#ifdef _WIN32
  ::_putenv_s(name.c_str(), "");
#else
  ::unsetenv(name.c_str());
#endif
}

namespace {
std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

SimulatedDisks::SimulatedDisks(const std::string& contents) : path_(dir_.Write("disks.sim", contents)) {
  SetEnv("SELVIK_SIM", path_);
}

SimulatedDisks::~SimulatedDisks() { UnsetEnv("SELVIK_SIM"); }

std::string SimulatedDisks::Contents() const { return ReadAll(path_); }

std::vector<std::string> SimulatedDisks::Calls() const {
  std::vector<std::string> out;
  std::istringstream in(ReadAll(path_ + ".calls"));
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::string SimulatedDisks::Value(const std::string& section, const std::string& key) const {
  std::istringstream in(Contents());
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] == '[') {
      inside = line == "[" + section + "]";
    } else if (inside && line.rfind(key + " = ", 0) == 0) {
      return line.substr(key.size() + 3);
    }
  }
  return {};
}

void SimulatedDisks::Swap(char letter) const {
  if (!selvik::SwapSpareDisk(path_, letter)) ADD_FAILURE() << "no spare disk for " << letter;
}

std::unique_ptr<admission::SecureDisk> LoadStandIn() {
  return admission::LoadSelvikLibrary(TORVANE_SELVIK_PATH).disk;
}

}  // namespace torvane::test

#include "tools/selvik/sim_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace selvik {
namespace {

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

}  // namespace

const std::string* Section::Find(const std::string& key) const {
  for (const auto& [k, v] : values)
    if (k == key) return &v;
  return nullptr;
}

std::vector<std::string> Section::All(const std::string& key) const {
  std::vector<std::string> out;
  for (const auto& [k, v] : values)
    if (k == key) out.push_back(v);
  return out;
}

void Section::Set(const std::string& key, const std::string& value) {
  for (auto& [k, v] : values)
    if (k == key) {
      v = value;
      return;
    }
  values.emplace_back(key, value);
}

void Section::RemoveAll(const std::string& key) {
  std::erase_if(values, [&](const auto& kv) { return kv.first == key; });
}

void Section::Add(const std::string& key, const std::string& value) { values.emplace_back(key, value); }

Section* SimFile::Find(const std::string& name) {
  for (auto& s : sections)
    if (s.name == name) return &s;
  return nullptr;
}

Section& SimFile::Get(const std::string& name) {
  if (Section* s = Find(name)) return *s;
  sections.push_back(Section{name, {}});
  return sections.back();
}

std::optional<SimFile> ReadSimFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  SimFile file;
  Section* current = nullptr;
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      current = &file.Get(Trim(line.substr(1, line.size() - 2)));
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos || !current) continue;
    current->Add(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
  }
  return file;
}

bool WriteSimFile(const std::string& path, const SimFile& file) {
  std::ostringstream out;
  for (const auto& s : file.sections) {
    out << '[' << s.name << "]\n";
    for (const auto& [k, v] : s.values) out << k << " = " << v << '\n';
  }
  const std::string tmp = path + ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f << out.str();
    if (!f.flush()) return false;
  }
  std::remove(path.c_str());  // rename does not replace on Windows
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

bool SwapSpareDisk(const std::string& path, char letter) {
  std::optional<SimFile> file = ReadSimFile(path);
  if (!file) return false;
  const std::string drive = std::string("drive ") + letter;
  const std::string spare = std::string("spare ") + letter;
  Section* spareSection = file->Find(spare);
  if (!spareSection) return false;
  Section* driveSection = file->Find(drive);
  spareSection->name = drive;
  if (driveSection) driveSection->name = spare;
  return WriteSimFile(path, *file);
}

}  // namespace selvik

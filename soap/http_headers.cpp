#include "soap/http_headers.h"

#include <cctype>

namespace torvane::soap {
namespace {

unsigned char Upper(char c) { return static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c))); }

}  // namespace

std::size_t HttpHeaders::NameHash::operator()(const std::string& name) const {
  std::uint32_t hash = 0;
  for (char c : name) hash = hash * 33 + Upper(c);
  return hash;
}

bool HttpHeaders::NameEqual::operator()(const std::string& a, const std::string& b) const {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

void HttpHeaders::Add(std::string_view name, std::string_view value) {
  auto [it, inserted] = table_.try_emplace(std::string(name), value);
  if (!inserted) {
    it->second.push_back(',');
    it->second.append(value);
  }
}

const std::string* HttpHeaders::Find(std::string_view name) const {
  const auto it = table_.find(std::string(name));
  return it == table_.end() ? nullptr : &it->second;
}

}  // namespace torvane::soap

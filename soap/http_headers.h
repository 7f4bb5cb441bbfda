#pragma once
// The reply header table: names compared without regard to case; a header
// that comes more than once keeps every value, joined by "," (no space).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace torvane::soap {

class HttpHeaders {
 public:
  // Adds a header; joins the value to an earlier one of the same name.
  void Add(std::string_view name, std::string_view value);
  // The value of `name` (any case), or nullptr when absent.
  const std::string* Find(std::string_view name) const;
  std::size_t size() const { return table_.size(); }
  void Clear() { table_.clear(); }

 private:
  struct NameHash {
    std::size_t operator()(const std::string& name) const;
  };
  struct NameEqual {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::unordered_map<std::string, std::string, NameHash, NameEqual> table_;
};

}  // namespace torvane::soap

#include "soap/multi_ref.h"

namespace torvane::soap {

bool MultiRefTable::AddReference(std::u16string_view href, std::size_t param) {
  if (href.size() < 2 || href.front() != u'#') return false;
  const std::u16string_view id = href.substr(1);
  if (id.size() > kMaxIdLength) return false;
  for (const auto& r : references_)
    if (r.id == id) return false;
  references_.push_back(Reference{std::u16string(id), param});
  return true;
}

bool MultiRefTable::OpenTarget(std::u16string_view id, bool nil) {
  if (id.empty() || id.size() > kMaxIdLength || targets_.size() >= kMaxTargets) return false;
  for (const auto& t : targets_)
    if (t.id == id) return false;
  Target target;
  target.id.assign(id);
  target.nil = nil;
  targets_.push_back(std::move(target));
  return true;
}

void MultiRefTable::AppendText(std::u16string_view text) {
  if (!targets_.empty()) targets_.back().text.append(text);
}

void MultiRefTable::MarkComplex() {
  if (!targets_.empty()) targets_.back().simple = false;
}

MultiRefTable::Target* MultiRefTable::Take(std::u16string_view id) {
  for (auto& t : targets_) {
    if (t.id != id) continue;
    if (t.used) return nullptr;
    t.used = true;
    return &t;
  }
  return nullptr;
}

void MultiRefTable::Clear() {
  targets_.clear();
  references_.clear();
}

}  // namespace torvane::soap

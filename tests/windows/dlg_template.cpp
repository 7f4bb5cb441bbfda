#include "dlg_template.h"

#include <cstring>

namespace torvane::test {
namespace {

class Reader {
 public:
  Reader(const BYTE* p, std::size_t n) : p_(p), n_(n) {}
  bool ok() const { return ok_; }
  std::size_t at() const { return at_; }

  template <typename T>
  T Get() {
    T v{};
    if (at_ + sizeof v > n_) {
      ok_ = false;
      return v;
    }
    std::memcpy(&v, p_ + at_, sizeof v);
    at_ += sizeof v;
    return v;
  }
  std::wstring String() {
    std::wstring s;
    for (WORD c; ok_ && (c = Get<WORD>()) != 0;) s += static_cast<wchar_t>(c);
    return s;
  }
  // sz_Or_Ord: 0 none, 0xFFFF then an ordinal, or a string.
  std::wstring SzOrOrd(int* ordinal) {
    *ordinal = -1;
    if (at_ + 2 > n_) {
      ok_ = false;
      return {};
    }
    WORD first;
    std::memcpy(&first, p_ + at_, 2);
    if (first == 0) {
      at_ += 2;
      return {};
    }
    if (first == 0xFFFF) {
      at_ += 2;
      *ordinal = Get<WORD>();
      return {};
    }
    return String();
  }
  void Align(std::size_t to) { at_ = (at_ + to - 1) / to * to; }
  void Skip(std::size_t k) {
    if (at_ + k > n_) ok_ = false;
    at_ += k;
  }

 private:
  const BYTE* p_;
  std::size_t n_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

std::wstring ClassName(int ordinal, std::wstring name) {
  switch (ordinal) {
    case 0x80: return L"Button";
    case 0x81: return L"Edit";
    case 0x82: return L"Static";
    case 0x83: return L"ListBox";
    case 0x84: return L"ScrollBar";
    case 0x85: return L"ComboBox";
    default: return name;
  }
}

}  // namespace

std::optional<DialogTemplate> DecodeDialogTemplate(const void* data, std::size_t size) {
  Reader r(static_cast<const BYTE*>(data), size);
  DialogTemplate t;
  t.version = r.Get<WORD>();
  t.signature = r.Get<WORD>();
  if (t.version != 1 || t.signature != 0xFFFF) return std::nullopt;
  t.helpId = r.Get<DWORD>();
  t.exStyle = r.Get<DWORD>();
  t.style = r.Get<DWORD>();
  const WORD count = r.Get<WORD>();
  t.x = r.Get<short>();
  t.y = r.Get<short>();
  t.cx = r.Get<short>();
  t.cy = r.Get<short>();
  int ordinal = -1;
  t.hasMenu = !r.SzOrOrd(&ordinal).empty() || ordinal >= 0;
  t.defaultClass = r.SzOrOrd(&ordinal).empty() && ordinal < 0;
  t.title = r.String();
  if (t.style & (DS_SETFONT | DS_SHELLFONT)) {
    t.pointSize = r.Get<WORD>();
    t.weight = r.Get<WORD>();
    t.italic = r.Get<BYTE>();
    t.charset = r.Get<BYTE>();
    t.face = r.String();
  }
  for (WORD k = 0; k < count && r.ok(); ++k) {
    r.Align(4);
    DialogItem item;
    item.helpId = r.Get<DWORD>();
    item.exStyle = r.Get<DWORD>();
    item.style = r.Get<DWORD>();
    item.x = r.Get<short>();
    item.y = r.Get<short>();
    item.cx = r.Get<short>();
    item.cy = r.Get<short>();
    item.id = r.Get<std::int32_t>();
    std::wstring cls = r.SzOrOrd(&ordinal);
    item.cls = ClassName(ordinal, cls);
    item.text = r.SzOrOrd(&item.textOrdinal);
    item.extraCount = r.Get<WORD>();
    r.Skip(item.extraCount);
    t.items.push_back(item);
  }
  if (!r.ok() || r.at() > size) return std::nullopt;
  return t;
}

}  // namespace torvane::test

// The shipped Torvane.dll carries dialogs 8000-8003 and icon 8006 in
// Simplified Chinese (2052), field for field as the dialogs are laid out,
// and exports ShowWarnInfo by name with ordinal 2.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "dlg_template.h"
#include "shipped_library.h"

namespace torvane::test {
namespace {

constexpr WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kPasswordEdit = kChild | ES_LEFT | ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kCheckBox = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kDefButton = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr DWORD kButton = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kLabel = kChild | SS_LEFT;
constexpr DWORD kIcon = kChild | SS_ICON;
constexpr DWORD kModal = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
constexpr std::int32_t kNone = -1;

struct Item {
  std::int32_t id;
  const wchar_t* cls;
  const wchar_t* text;
  DWORD style;
  int x, y, cx, cy;
  int iconOrdinal = -1;
};

struct Expected {
  int id;
  DWORD style, exStyle;
  int cx, cy;
  const wchar_t* title;
  std::vector<Item> items;  // in tab order
};

const std::vector<Expected>& Tables() {
  static const std::vector<Expected> tables = {
      {8000, WS_POPUP | WS_SYSMENU | DS_SETFONT, WS_EX_TOOLWINDOW, 186, 90, L"", {}},
      {8001, kModal | DS_SETFOREGROUND, WS_EX_TOPMOST, 222, 90, L"请输入口令",
       {{8001, L"Edit", L"", kPasswordEdit, 47, 23, 140, 15},
        {8006, L"Button", L"格式化优盘", kCheckBox, 47, 47, 56, 10},
        {1, L"Button", L"确定", kDefButton, 18, 67, 50, 14},
        {2, L"Button", L"取消", kButton, 87, 67, 50, 14},
        {8000, L"Button", L"口令修改", kButton, 156, 66, 50, 14},
        {kNone, L"Static", L"口令:", kLabel, 19, 26, 24, 12}}},
      {8002, kModal | DS_SYSMODAL, 0, 228, 113, L"口令修改",
       {{8002, L"Edit", L"", kPasswordEdit, 61, 17, 138, 14},
        {8003, L"Edit", L"", kPasswordEdit, 61, 40, 138, 14},
        {8004, L"Edit", L"", kPasswordEdit, 61, 63, 138, 14},
        {1, L"Button", L"确定", kDefButton, 82, 92, 50, 14},
        {2, L"Button", L"取消", kButton, 161, 92, 50, 14},
        {kNone, L"Static", L"原口令:", kLabel, 25, 20, 29, 8},
        {kNone, L"Static", L"新口令:", kLabel, 25, 43, 29, 8},
        {kNone, L"Static", L"确认新口令:", kLabel, 9, 67, 45, 8}}},
      {8003, kModal | DS_SYSMODAL, 0, 254, 82, L"Dialog",
       {{1, L"Button", L"确定", kDefButton, 157, 52, 50, 14},
        {8005, L"Static", L"", kLabel, 33, 19, 213, 23},
        {8004, L"Static", L"", kLabel, 7, 56, 137, 11},
        {kNone, L"Static", L"", kIcon, 7, 17, 21, 21, 8006}}},
  };
  return tables;
}

class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadShippedLibrary();
    ASSERT_NE(module_, nullptr) << "cannot load " << kShippedLibraryPath;
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }
  // The raw bytes of resource (type, id) in language 2052.
  std::pair<const void*, std::size_t> Find(LPCWSTR type, int id) const {
    HRSRC found = ::FindResourceExW(module_, type, MAKEINTRESOURCEW(id), kChinese);
    if (!found) return {nullptr, 0};
    HGLOBAL loaded = ::LoadResource(module_, found);
    return {loaded ? ::LockResource(loaded) : nullptr, ::SizeofResource(module_, found)};
  }
  HMODULE module_ = nullptr;
};

TEST_F(Resources, EveryDialogMatchesItsTableFieldByField) {
  for (const Expected& e : Tables()) {
    SCOPED_TRACE("dialog " + std::to_string(e.id));
    const auto [data, size] = Find(MAKEINTRESOURCEW(5) /* RT_DIALOG */, e.id);
    ASSERT_NE(data, nullptr) << "no template in language 2052";
    const auto t = DecodeDialogTemplate(data, size);
    ASSERT_TRUE(t.has_value()) << "not an extended template";
    EXPECT_EQ(t->style, e.style);
    EXPECT_EQ(t->exStyle, e.exStyle);
    EXPECT_EQ(t->helpId, 0u);
    EXPECT_EQ(t->x, 0);
    EXPECT_EQ(t->y, 0);
    EXPECT_EQ(t->cx, e.cx);
    EXPECT_EQ(t->cy, e.cy);
    EXPECT_FALSE(t->hasMenu);
    EXPECT_TRUE(t->defaultClass);
    EXPECT_EQ(t->title, e.title);
    EXPECT_EQ(t->pointSize, 9);
    EXPECT_EQ(t->weight, 400);
    EXPECT_EQ(t->italic, 0);
    EXPECT_EQ(t->charset, 134);  // GB2312
    EXPECT_EQ(t->face, L"宋体");
    ASSERT_EQ(t->items.size(), e.items.size());
    for (std::size_t k = 0; k < e.items.size(); ++k) {
      const Item& want = e.items[k];
      const DialogItem& got = t->items[k];
      SCOPED_TRACE("item " + std::to_string(k) + ", id " + std::to_string(want.id));
      EXPECT_EQ(got.id, want.id);
      EXPECT_EQ(_wcsicmp(got.cls.c_str(), want.cls), 0);
      EXPECT_EQ(got.text, want.text);
      EXPECT_EQ(got.textOrdinal, want.iconOrdinal);
      EXPECT_EQ(got.style, want.style);
      EXPECT_EQ(got.exStyle, 0u);
      EXPECT_EQ(got.x, want.x);
      EXPECT_EQ(got.y, want.y);
      EXPECT_EQ(got.cx, want.cx);
      EXPECT_EQ(got.cy, want.cy);
      EXPECT_EQ(got.extraCount, 0);
    }
  }
}

TEST_F(Resources, IconIsOne32By32ImageWith8BitsPerPixel) {
#pragma pack(push, 2)
  struct GroupEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
  };
#pragma pack(pop)
  const auto [group, groupSize] = Find(MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, 8006);
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(groupSize, 6 + sizeof(GroupEntry));
  const auto* words = static_cast<const WORD*>(group);
  EXPECT_EQ(words[1], 1) << "icon type";
  ASSERT_EQ(words[2], 1) << "one image";
  GroupEntry entry;
  std::memcpy(&entry, static_cast<const BYTE*>(group) + 6, sizeof entry);
  EXPECT_EQ(entry.width, 32);
  EXPECT_EQ(entry.height, 32);
  EXPECT_EQ(entry.bitCount, 8);
  const auto [image, imageSize] = Find(MAKEINTRESOURCEW(3) /* RT_ICON */, entry.id);
  ASSERT_NE(image, nullptr);
  ASSERT_GE(imageSize, sizeof(BITMAPINFOHEADER) + 256 * 4 + 32 * 32 + 32 * 4);
  BITMAPINFOHEADER h;
  std::memcpy(&h, image, sizeof h);
  EXPECT_EQ(h.biWidth, 32);
  EXPECT_EQ(h.biHeight, 64) << "colour image and mask";
  EXPECT_EQ(h.biBitCount, 8);
  HICON icon = static_cast<HICON>(::LoadImageW(module_, MAKEINTRESOURCEW(8006), IMAGE_ICON, 32, 32, 0));
  EXPECT_NE(icon, nullptr) << "the window system can load it";
  if (icon) ::DestroyIcon(icon);
}

TEST_F(Resources, ShowWarnInfoIsExportedByNameAsOrdinal2) {
  FARPROC byName = ::GetProcAddress(module_, "ShowWarnInfo");
  ASSERT_NE(byName, nullptr) << "undecorated name";
  EXPECT_EQ(::GetProcAddress(module_, MAKEINTRESOURCEA(2)), byName);
}

INT_PTR CALLBACK NothingProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The font a dialog really gets from its template has a glyph for every text
// the templates and the warning box show (no boxes instead of Chinese).
TEST_F(Resources, DialogFontHasGlyphsForEveryText) {
  std::vector<std::wstring> texts = {L"窗口在60秒后自动关闭", L"0123456789"};
  for (const Expected& e : Tables()) {
    texts.push_back(e.title);
    for (const Item& i : e.items) texts.push_back(i.text);
  }
  const auto [data, size] = Find(MAKEINTRESOURCEW(5), 8001);
  ASSERT_NE(data, nullptr);
  HWND dialog = ::CreateDialogIndirectParamW(module_, static_cast<const DLGTEMPLATE*>(data), nullptr,
                                             NothingProc, 0);
  ASSERT_NE(dialog, nullptr);
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
  ASSERT_NE(font, nullptr);
  HDC dc = ::GetDC(dialog);
  HGDIOBJ old = ::SelectObject(dc, font);
  for (const std::wstring& t : texts) {
    if (t.empty()) continue;
    std::vector<WORD> glyphs(t.size());
    ASSERT_NE(::GetGlyphIndicesW(dc, t.c_str(), static_cast<int>(t.size()), glyphs.data(),
                                 GGI_MARK_NONEXISTING_GLYPHS),
              GDI_ERROR);
    for (std::size_t k = 0; k < t.size(); ++k)
      EXPECT_NE(glyphs[k], 0xFFFF) << "no glyph for U+" << std::hex << static_cast<unsigned>(t[k]);
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(dialog, dc);
  ::DestroyWindow(dialog);
}

}  // namespace
}  // namespace torvane::test

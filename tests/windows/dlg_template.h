#pragma once
// Decodes an extended dialog template (DLGTEMPLATEEX and its items) as the
// window system reads it, so tests can compare every field.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torvane::test {

struct DialogItem {
  DWORD helpId = 0, exStyle = 0, style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::int32_t id = 0;
  std::wstring cls;       // predefined classes by name ("Button", "Edit", "Static")
  std::wstring text;      // empty when given as an ordinal
  int textOrdinal = -1;   // resource ordinal (an icon id), -1 when a string
  WORD extraCount = 0;
};

struct DialogTemplate {
  WORD version = 0, signature = 0;
  DWORD helpId = 0, exStyle = 0, style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  bool hasMenu = false;
  bool defaultClass = true;
  std::wstring title;
  WORD pointSize = 0, weight = 0;
  BYTE italic = 0, charset = 0;
  std::wstring face;
  std::vector<DialogItem> items;
};

// nullopt when the bytes are not a well-formed extended template.
std::optional<DialogTemplate> DecodeDialogTemplate(const void* data, std::size_t size);

}  // namespace torvane::test

#include <windows.h>

#include <climits>

#include "platform/codepage.h"

namespace torvane::platform {

std::u16string AnsiToUtf16(std::string_view ansi) {
  if (ansi.empty() || ansi.size() > INT_MAX) return {};
  const int n = static_cast<int>(ansi.size());
  const int len = ::MultiByteToWideChar(CP_THREAD_ACP, 0, ansi.data(), n, nullptr, 0);
  if (len <= 0) return {};
  std::u16string out(static_cast<std::size_t>(len), u'\0');
  ::MultiByteToWideChar(CP_THREAD_ACP, 0, ansi.data(), n, reinterpret_cast<wchar_t*>(out.data()),
                        len);
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const auto* w = reinterpret_cast<const wchar_t*>(text.data());
  const int n = static_cast<int>(text.size());
  const int len = ::WideCharToMultiByte(CP_THREAD_ACP, 0, w, n, nullptr, 0, nullptr, nullptr);
  if (len <= 0) return {};
  std::string out(static_cast<std::size_t>(len), '\0');
  ::WideCharToMultiByte(CP_THREAD_ACP, 0, w, n, out.data(), len, nullptr, nullptr);
  return out;
}

bool IsAnsiLeadByte(unsigned char byte) {
  CPINFO info{};
  if (!::GetCPInfo(CP_THREAD_ACP, &info) || info.MaxCharSize < 2) return false;
  for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2) {
    if (byte >= info.LeadByte[i] && byte <= info.LeadByte[i + 1]) return true;
  }
  return false;
}

}  // namespace torvane::platform

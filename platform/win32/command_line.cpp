#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "platform/command_line.h"

namespace torvane::platform {
namespace {

std::string ToUtf8(const wchar_t* text) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.pop_back();  // the NUL
  return out;
}

struct LocalFreer {
  void operator()(LPWSTR* p) const { ::LocalFree(p); }
};

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  std::unique_ptr<LPWSTR, LocalFreer> wide(::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!wide || count != argc) return {argv, argv + argc};
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(ToUtf8(wide.get()[i]));
  return out;
}

}  // namespace torvane::platform

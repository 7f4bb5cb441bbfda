// Stands in for the suite's formatting program: leaves "formatted.txt"
// beside itself so a test can see that it was started.
#include <windows.h>

#include <string>

int main() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  std::wstring marker(path, n);
  marker = marker.substr(0, marker.find_last_of(L'\\') + 1) + L"formatted.txt";
  HANDLE f = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  ::WriteFile(f, "started\r\n", 9, &written, nullptr);
  ::CloseHandle(f);
  return 0;
}

// What a running Windows process holds, for the soak benchmark:
//   process_counts IMAGE   prints "handles N user N gdi N threads N" for the
//                          first process whose image name is IMAGE
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct HandleCloser {
  void operator()(HANDLE h) const { ::CloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle Own(HANDLE h) { return Handle(h == INVALID_HANDLE_VALUE ? nullptr : h); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: process_counts IMAGE\n");
    return 2;
  }
  const Handle snapshot = Own(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 1;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
    if (::lstrcmpiA(entry.szExeFile, argv[1]) != 0) continue;
    const Handle process = Own(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID));
    if (!process) return 1;
    DWORD handles = 0;
    ::GetProcessHandleCount(process.get(), &handles);
    std::printf("handles %lu user %lu gdi %lu threads %lu\n", handles,
                ::GetGuiResources(process.get(), GR_USEROBJECTS), ::GetGuiResources(process.get(), GR_GDIOBJECTS),
                entry.cntThreads);
    return 0;
  }
  std::fprintf(stderr, "process_counts: no %s running\n", argv[1]);
  return 1;
}

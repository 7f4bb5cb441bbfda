// What a running Windows process holds, for the soak benchmark:
//   process_counts IMAGE   prints "handles N user N gdi N windows N threads N
//                          unnamed-events N"
//                          for the first process whose image name is IMAGE
// Handles are GetProcessHandleCount's; where that reads 0 (Wine, for another
// process) they are counted one by one: every handle value the process's
// handle table can hold is duplicated, and those that duplicate are open.
// Threads come from the system's process list, which also gives the size of
// the handle table there. USER and GDI are GetGuiResources' counts (0 under
// Wine, which does not keep them); windows are the process's top-level and
// child windows, counted by enumeration, so a window left over from a dialog
// shows on either system.
// Unnamed events are counted apart: the threads library gives a lock one
// the first time two threads meet on it, and keeps it for the lock's life.
// With --handles, a line "handle VALUE TYPE NAME" follows for each open
// handle, to tell what a count that grew holds, in place of the regions.
// A second line, "committed BASE SIZE KIND ...", lists the process's
// committed regions (hex; KIND p private, i image, m mapped), as
// VirtualQueryEx gives them: under Wine these are the Windows side of the
// process, told apart from memory the Unix libraries under Wine (the X
// client, fonts) map for themselves.
#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct HandleCloser {
  void operator()(HANDLE h) const { ::CloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// The part of a process-list entry read here; the layout is the system's.
struct ProcessEntry {
  ULONG next;
  ULONG threads;
  BYTE reserved1[48];
  UNICODE_STRING image;
  LONG basePriority;
  HANDLE pid;
  HANDLE parent;
  ULONG handles;
};

using QuerySystem = NTSTATUS(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kProcessList = 5;
constexpr NTSTATUS kTooSmall = static_cast<NTSTATUS>(0xC0000004L);

struct Found {
  DWORD pid = 0;
  ULONG threads = 0;
  ULONG handles = 0;  // Wine: the size of the handle table
};

bool FindProcess(const wchar_t* image, Found& found) {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return false;
  auto query = reinterpret_cast<QuerySystem>(
      reinterpret_cast<void (*)()>(::GetProcAddress(ntdll, "NtQuerySystemInformation")));
  if (!query) return false;
  std::vector<unsigned char> list(256 * 1024);
  NTSTATUS status = kTooSmall;
  for (int tries = 0; tries < 6 && status == kTooSmall; ++tries) {
    ULONG needed = 0;
    status = query(kProcessList, list.data(), static_cast<ULONG>(list.size()), &needed);
    if (status == kTooSmall) list.resize(list.size() * 2);
  }
  if (status != 0) return false;
  const size_t imageLen = std::wcslen(image);
  for (size_t at = 0; at + sizeof(ProcessEntry) <= list.size();) {
    ProcessEntry entry;
    std::memcpy(&entry, list.data() + at, sizeof(entry));
    const size_t chars = entry.image.Length / sizeof(wchar_t);
    if (entry.image.Buffer && chars == imageLen &&
        ::CompareStringOrdinal(entry.image.Buffer, static_cast<int>(chars), image, static_cast<int>(imageLen),
                               TRUE) == CSTR_EQUAL) {
      found.pid = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry.pid));
      found.threads = entry.threads;
      found.handles = entry.handles;
      return true;
    }
    if (entry.next == 0) break;
    at += entry.next;
  }
  return false;
}

struct HandleInfo {
  ULONG value;
  std::string type;
  std::string name;
};

// The open handles of `process` among the values 4, 8, ... up to `limit`
// entries, with their type and name.
std::vector<HandleInfo> ListHandles(HANDLE process, ULONG limit) {
  using QueryObject = NTSTATUS(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
  std::vector<HandleInfo> list;
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const auto query = ntdll ? reinterpret_cast<QueryObject>(
                                 reinterpret_cast<void (*)()>(::GetProcAddress(ntdll, "NtQueryObject")))
                           : nullptr;
  constexpr ULONG kName = 1, kType = 2;
  auto text = [&](HANDLE h, ULONG what) {
    alignas(8) unsigned char buffer[4096] = {};
    ULONG size = 0;
    // Without the query the handle is still counted, its type unknown.
    if (!query || query(h, what, buffer, sizeof buffer - sizeof(wchar_t), &size) != 0) return std::string("?");
    UNICODE_STRING name;
    std::memcpy(&name, buffer, sizeof name);
    char utf8[1024] = {};
    if (name.Buffer && name.Length)
      ::WideCharToMultiByte(CP_UTF8, 0, name.Buffer, name.Length / sizeof(wchar_t), utf8, sizeof utf8 - 1,
                            nullptr, nullptr);
    return std::string(utf8);
  };
  for (ULONG i = 1; i <= limit; ++i) {
    HANDLE copy = nullptr;
    const auto value = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(i) * 4);
    if (!::DuplicateHandle(process, value, ::GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
      continue;
    const Handle owned(copy);
    list.push_back({i * 4, text(copy, kType), text(copy, kName)});
  }
  return list;
}

struct WindowCount {
  DWORD pid;
  unsigned long windows = 0;
};

BOOL CALLBACK CountChild(HWND, LPARAM param) {
  ++reinterpret_cast<WindowCount*>(param)->windows;
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
  auto* count = reinterpret_cast<WindowCount*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  if (pid == count->pid) {
    ++count->windows;
    ::EnumChildWindows(window, CountChild, param);
  }
  return TRUE;
}

// Committed regions, adjacent ones of one kind joined, as " BASE SIZE KIND".
std::string CommittedRegions(HANDLE process) {
  SYSTEM_INFO system{};
  ::GetSystemInfo(&system);
  const auto end = reinterpret_cast<ULONG_PTR>(system.lpMaximumApplicationAddress);
  std::string out;
  ULONG_PTR runStart = 0, runEnd = 0;
  char runKind = 0;
  auto flush = [&] {
    if (runEnd > runStart) {
      char triple[56];
      std::snprintf(triple, sizeof triple, " %llx %llx %c", static_cast<unsigned long long>(runStart),
                    static_cast<unsigned long long>(runEnd - runStart), runKind);
      out += triple;
    }
  };
  for (ULONG_PTR at = 0; at < end;) {
    MEMORY_BASIC_INFORMATION info{};
    if (::VirtualQueryEx(process, reinterpret_cast<const void*>(at), &info, sizeof info) == 0) break;
    const auto base = reinterpret_cast<ULONG_PTR>(info.BaseAddress);
    const ULONG_PTR next = base + info.RegionSize;
    if (next <= at) break;
    if (info.State == MEM_COMMIT) {
      const char kind = info.Type == MEM_IMAGE ? 'i' : info.Type == MEM_MAPPED ? 'm' : 'p';
      if (base != runEnd || kind != runKind) {
        flush();
        runStart = base;
        runKind = kind;
      }
      runEnd = next;
    }
    at = next;
  }
  flush();
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  wchar_t image[MAX_PATH] = {};
  const bool listHandles = argc == 3 && std::strcmp(argv[2], "--handles") == 0;
  if ((argc != 2 && !listHandles) || ::MultiByteToWideChar(CP_ACP, 0, argv[1], -1, image, MAX_PATH) == 0) {
    std::fprintf(stderr, "usage: process_counts IMAGE [--handles]\n");
    return 2;
  }
  Found found;
  if (!FindProcess(image, found)) {
    std::fprintf(stderr, "process_counts: no %s running\n", argv[1]);
    return 1;
  }
  const Handle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_DUP_HANDLE, FALSE, found.pid));
  if (!process) {
    std::fprintf(stderr, "process_counts: cannot open %s\n", argv[1]);
    return 1;
  }
  // Wine gives the handle table's size in the process list, and no count;
  // Windows gives the count there, and values may lie well above it.
  DWORD handles = 0;
  const bool counted = ::GetProcessHandleCount(process.get(), &handles) && handles != 0;
  const std::vector<HandleInfo> list = ListHandles(process.get(), counted ? 16384 : found.handles);
  if (!counted) handles = static_cast<DWORD>(list.size());
  unsigned long lockEvents = 0;
  for (const HandleInfo& h : list) lockEvents += h.type == "Event" && h.name.empty();
  const DWORD user = ::GetGuiResources(process.get(), GR_USEROBJECTS);
  const DWORD gdi = ::GetGuiResources(process.get(), GR_GDIOBJECTS);
  WindowCount windows{found.pid};
  ::EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
  std::printf("handles %lu user %lu gdi %lu windows %lu threads %lu unnamed-events %lu\n", handles, user, gdi,
              windows.windows, found.threads, lockEvents);
  // The regions are asked of the process itself (under Wine, through a
  // call it runs), so they are left out of a handle list, which may be
  // taken while it idles.
  if (listHandles)
    for (const HandleInfo& h : list) std::printf("handle %lx %s %s\n", h.value, h.type.c_str(), h.name.c_str());
  else
    std::printf("committed%s\n", CommittedRegions(process.get()).c_str());
  return 0;
}

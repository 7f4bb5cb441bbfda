// device_signal: plays the window system and the user toward the device
// watch window of another process, found by the thread that runs DoWork.
//
//   device_signal arrive TID MASK [TYPE]   WM_DEVICECHANGE DBT_DEVICEARRIVAL;
//                                          TYPE 2 (default) sends a volume
//                                          with unit mask MASK, another type
//                                          a bare broadcast header
//   device_signal remove TID MASK [SIZE]   DBT_DEVICEREMOVECOMPLETE, volume;
//                                          SIZE: the size the header gives
//                                          (a short one), the mask still sent
//   device_signal post TID EVENT LPARAM    WM_DEVICECHANGE posted with a bare
//                                          number for event data, as any
//                                          process can; exit 0 whether or not
//                                          the system took it
//   device_signal key TID enter|escape     the key pressed at the window
//   device_signal close TID                WM_CLOSE to the window
//   device_signal quit TID                 WM_QUIT posted to the thread
//   device_signal alive TID                exit 0 while the window exists
//   device_signal place TID                prints the window's rectangle,
//                                          visibility and extended style;
//                                          exit 0 when it is shown at 0,0
//                                          with size 0x0 as a tool window
//   device_signal count TITLE              prints how many visible dialogs
//                                          have that title (any process)
//   device_signal box CAPTION              waits for a visible message box
//                                          with that caption (any process),
//                                          prints its text (UTF-8), presses OK
//   device_signal atom add|delete NAME     a global atom (the suspend atom)
// Exit 0 on success, 1 when the window cannot be found or the message was
// not taken, 2 on bad arguments.
#include <windows.h>
#include <dbt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Search {
  HWND found = nullptr;
};

BOOL CALLBACK TakeDialog(HWND hwnd, LPARAM param) {
  wchar_t cls[64] = {};
  ::GetClassNameW(hwnd, cls, 64);
  if (std::wcscmp(cls, L"#32770") != 0 || ::GetWindow(hwnd, GW_OWNER) != nullptr) return TRUE;
  reinterpret_cast<Search*>(param)->found = hwnd;
  return FALSE;
}

// The thread's first top-level dialog without an owner: the device watch
// window (the password dialog runs on a scan thread of its own).
HWND WatchWindow(DWORD thread) {
  for (int i = 0; i < 100; ++i) {
    Search s;
    ::EnumThreadWindows(thread, TakeDialog, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    ::Sleep(50);
  }
  return nullptr;
}

struct Count {
  std::wstring title;
  int found = 0;
  HWND last = nullptr;
};

BOOL CALLBACK CountDialog(HWND hwnd, LPARAM param) {
  auto* c = reinterpret_cast<Count*>(param);
  wchar_t cls[64] = {}, title[256] = {};
  ::GetClassNameW(hwnd, cls, 64);
  ::GetWindowTextW(hwnd, title, 256);
  if (std::wcscmp(cls, L"#32770") == 0 && c->title == title && ::IsWindowVisible(hwnd)) {
    ++c->found;
    c->last = hwnd;
  }
  return TRUE;
}

// The visible dialogs titled `title` (in the ANSI code page).
Count Dialogs(const char* title) {
  Count c;
  c.title.resize(256);
  const int n = ::MultiByteToWideChar(CP_ACP, 0, title, -1, c.title.data(), 256);
  c.title.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
  ::EnumWindows(CountDialog, reinterpret_cast<LPARAM>(&c));
  return c;
}

int AnswerBox(const char* caption) {
  for (int i = 0; i < 200; ++i) {
    const Count c = Dialogs(caption);
    if (c.last) {
      wchar_t text[1024] = {};
      ::GetDlgItemTextW(c.last, 0xFFFF, text, 1024);
      char utf8[4096] = {};
      ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
      std::printf("box %s\n", utf8);
      ::PostMessageW(c.last, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(::GetDlgItem(c.last, IDOK)));
      return 0;
    }
    ::Sleep(50);
  }
  std::fprintf(stderr, "device_signal: no message box appeared\n");
  return 1;
}

bool Send(HWND hwnd, WPARAM event, const void* data) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(hwnd, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(data), SMTO_ABORTIFHUNG,
                               5000, &result) != 0;
}

int Usage() {
  std::fprintf(stderr, "usage: device_signal arrive|remove|post|key|close|quit|alive|place TID [...] | count|box TITLE | "
               "atom add|delete NAME\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string verb = argv[1];
  if (verb == "atom" && argc == 4) {
    if (std::strcmp(argv[2], "add") == 0) return ::GlobalAddAtomA(argv[3]) ? 0 : 1;
    const ATOM atom = ::GlobalFindAtomA(argv[3]);
    return atom && ::GlobalDeleteAtom(atom) == 0 ? 0 : 1;
  }
  // Titles come in the ANSI code page, as the arguments do.
  if (verb == "count") {
    std::printf("%d\n", Dialogs(argv[2]).found);
    return 0;
  }
  if (verb == "box") return AnswerBox(argv[2]);
  const DWORD thread = std::strtoul(argv[2], nullptr, 0);
  if (verb == "quit") return ::PostThreadMessageW(thread, WM_QUIT, 0, 0) ? 0 : 1;
  HWND hwnd = WatchWindow(thread);
  if (verb == "alive") return hwnd && ::IsWindow(hwnd) ? 0 : 1;
  if (!hwnd) {
    std::fprintf(stderr, "device_signal: no window on thread %lu\n", thread);
    return 1;
  }
  if ((verb == "arrive" || verb == "remove") && argc >= 4) {
    const DWORD mask = std::strtoul(argv[3], nullptr, 0);
    const DWORD type = verb == "arrive" && argc >= 5 ? std::strtoul(argv[4], nullptr, 0) : DBT_DEVTYP_VOLUME;
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size =
        verb == "remove" && argc >= 5 ? std::strtoul(argv[4], nullptr, 0) : static_cast<DWORD>(sizeof volume);
    volume.dbcv_devicetype = type;
    volume.dbcv_unitmask = mask;
    DEV_BROADCAST_HDR header = {};
    header.dbch_size = sizeof header;
    header.dbch_devicetype = type;
    const void* data = type == DBT_DEVTYP_VOLUME ? static_cast<const void*>(&volume) : &header;
    return Send(hwnd, verb == "arrive" ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, data) ? 0 : 1;
  }
  if (verb == "post" && argc == 5) {
    const WPARAM event = std::strtoull(argv[3], nullptr, 0);
    const LPARAM data = static_cast<LPARAM>(std::strtoull(argv[4], nullptr, 0));
    const bool taken = ::PostMessageW(hwnd, WM_DEVICECHANGE, event, data) != FALSE;
    std::printf("post 0x%llx %s\n", static_cast<unsigned long long>(event), taken ? "taken" : "refused");
    return 0;
  }
  if (verb == "key" && argc == 4) {
    const WPARAM key = std::strcmp(argv[3], "enter") == 0 ? VK_RETURN : VK_ESCAPE;
    // Through the window's modal loop, whose dialog-message handling turns
    // the keys into IDOK and IDCANCEL.
    ::PostMessageW(hwnd, WM_KEYDOWN, key, 1);
    ::PostMessageW(hwnd, WM_KEYUP, key, 0xC0000001);
    return 0;
  }
  if (verb == "place") {
    RECT r = {};
    ::GetWindowRect(hwnd, &r);
    const LONG_PTR ex = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    const bool visible = ::IsWindowVisible(hwnd) != FALSE;
    std::printf("%ld,%ld %ldx%ld visible %d exstyle 0x%lx\n", r.left, r.top, r.right - r.left, r.bottom - r.top,
                visible ? 1 : 0, static_cast<unsigned long>(ex));
    const bool hidden = r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0;
    return hidden && visible && (ex & WS_EX_TOOLWINDOW) && !(ex & WS_EX_APPWINDOW) ? 0 : 1;
  }
  if (verb == "close") return ::PostMessageW(hwnd, WM_CLOSE, 0, 0) ? 0 : 1;
  return Usage();
}

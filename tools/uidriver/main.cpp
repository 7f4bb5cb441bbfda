// torvane-uidriver: drives real dialogs from the command line (Windows).
// Steps run in order on the current dialog; each failure ends the run with
// exit code 1 and a line on stderr. Texts in and out are UTF-8.
//
//   torvane-uidriver [--pid N] [--timeout MS] STEP...
//     dialog TITLE [IDS]    wait for the visible "#32770" window titled TITLE
//                           (IDS: comma-separated control ids it must have);
//                           it becomes the current dialog
//     type ID TEXT          set the text of control ID
//     check ID | uncheck ID set a check box (clicked, so the dialog is told)
//     click ID              press button ID (posted BN_CLICKED)
//     enter | escape        the key, to the focused control
//     close                 the close box (WM_CLOSE)
//     text ID | title       print the control's text / the window title
//     place                 print "X Y WIDTH HEIGHT STYLE EXSTYLE" (hex styles)
//     enabled ID | checked ID   print 1 or 0
//     box [BUTTON]          wait for a message box owned by the current
//                           dialog, print "box CAPTION|ICON|TEXT", press
//                           BUTTON (default 1)
//     device EVENT [MASK]   send WM_DEVICECHANGE EVENT (e.g. 0x8000) with a
//                           volume header for unit MASK (none: no data)
//     gone [MS]             wait until the current dialog has closed
//     shot FILE             save a screenshot of the current dialog (BMP)
//     sleep MS
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "tools/uidriver/ui_driver.h"

#include <dbt.h>

using torvane::uidriver::Driver;
using torvane::uidriver::FromUtf8;
using torvane::uidriver::ToUtf8;

namespace {

int Fail(const std::string& why) {
  std::fprintf(stderr, "torvane-uidriver: %s\n", why.c_str());
  return 1;
}

bool Number(const char* s, long* out) {
  char* end = nullptr;
  *out = std::strtol(s, &end, 0);
  return end && end != s && *end == '\0';
}

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::vector<int> Ids(const std::string& list) {
  std::vector<int> ids;
  for (std::size_t at = 0; at < list.size();) {
    const std::size_t comma = list.find(',', at);
    ids.push_back(std::atoi(list.substr(at, comma - at).c_str()));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return ids;
}

}  // namespace

int main(int argc, char** argv) {
  // Titles and texts come in as UTF-8 whatever the code page: take the wide
  // command line rather than the CRT's ANSI argv.
  const std::vector<std::string> utf8 = torvane::platform::Utf8Arguments(argc, argv);
  std::vector<char*> args;
  for (const auto& a : utf8) args.push_back(const_cast<char*>(a.c_str()));
  argv = args.data();
  argc = static_cast<int>(args.size());
  DWORD pid = 0, timeout = 10000;
  int i = 1;
  for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-'; i += 2) {
    long v = 0;
    if (!Number(argv[i + 1], &v) || v < 0) return Fail(std::string("bad value for ") + argv[i]);
    if (std::strcmp(argv[i], "--pid") == 0) pid = static_cast<DWORD>(v);
    else if (std::strcmp(argv[i], "--timeout") == 0) timeout = static_cast<DWORD>(v);
    else return Fail(std::string("unknown option ") + argv[i]);
  }
  if (i >= argc) return Fail("no steps; see the head of tools/uidriver/main.cpp");
  Driver driver(pid, timeout);
  HWND current = nullptr;
  auto arg = [&](int k) -> const char* { return i + k < argc ? argv[i + k] : nullptr; };
  auto id = [&](int k, long* v) { return arg(k) && Number(arg(k), v); };
  while (i < argc) {
    const std::string step = argv[i];
    long a = 0, b = 0;
    int used = 1;
    if (step == "dialog") {
      if (!arg(1)) return Fail("dialog needs a title");
      current = driver.WaitDialog(FromUtf8(arg(1)), arg(2) && std::isdigit(static_cast<unsigned char>(*arg(2)))
                                                        ? Ids(arg(2)) : std::vector<int>{});
      if (!current) return Fail("no dialog titled '" + std::string(arg(1)) + "'");
      used = arg(2) && std::isdigit(static_cast<unsigned char>(*arg(2))) ? 3 : 2;
    } else if (step == "sleep") {
      if (!id(1, &a)) return Fail("sleep needs milliseconds");
      ::Sleep(static_cast<DWORD>(a));
      used = 2;
    } else if (!current) {
      return Fail("'" + step + "' before any dialog step");
    } else if (step == "type") {
      if (!id(1, &a) || !arg(2)) return Fail("type needs an id and a text");
      Driver::Type(current, static_cast<int>(a), FromUtf8(arg(2)));
      used = 3;
    } else if (step == "check" || step == "uncheck") {
      if (!id(1, &a)) return Fail(step + " needs an id");
      Driver::Check(current, static_cast<int>(a), step == "check");
      used = 2;
    } else if (step == "click") {
      if (!id(1, &a)) return Fail("click needs an id");
      Driver::Click(current, static_cast<int>(a));
      used = 2;
    } else if (step == "enter" || step == "escape") {
      Driver::Key(current, step == "enter" ? VK_RETURN : VK_ESCAPE);
    } else if (step == "close") {
      Driver::Close(current);
    } else if (step == "text" || step == "enabled" || step == "checked") {
      if (!id(1, &a)) return Fail(step + " needs an id");
      const int c = static_cast<int>(a);
      Print(step == "text" ? ToUtf8(Driver::Text(current, c))
                           : std::to_string(step == "enabled" ? Driver::Enabled(current, c)
                                                              : Driver::Checked(current, c) == BST_CHECKED));
      used = 2;
    } else if (step == "title") {
      Print(ToUtf8(Driver::Title(current)));
    } else if (step == "place") {
      const auto p = Driver::Place(current);
      char line[128];
      std::snprintf(line, sizeof line, "%ld %ld %ld %ld 0x%08lx 0x%08lx", static_cast<long>(p.rect.left),
                    static_cast<long>(p.rect.top), static_cast<long>(p.rect.right - p.rect.left),
                    static_cast<long>(p.rect.bottom - p.rect.top), static_cast<unsigned long>(p.style),
                    static_cast<unsigned long>(p.exStyle));
      Print(line);
    } else if (step == "box") {
      long button = IDOK;
      if (id(1, &a)) {
        button = a;
        used = 2;
      }
      torvane::uidriver::MessageBoxSeen seen;
      if (!driver.WaitBox(current, &seen)) return Fail("no message box appeared");
      char icon[16];
      std::snprintf(icon, sizeof icon, "0x%02x", seen.icon);
      Print("box " + ToUtf8(seen.caption) + "|" + icon + "|" + ToUtf8(seen.text));
      Driver::Answer(seen, static_cast<int>(button));
    } else if (step == "device") {
      if (!id(1, &a)) return Fail("device needs an event code");
      DEV_BROADCAST_VOLUME volume{};
      LPARAM data = 0;
      if (id(2, &b)) {
        volume.dbcv_size = sizeof volume;
        volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
        volume.dbcv_unitmask = static_cast<DWORD>(b);
        data = reinterpret_cast<LPARAM>(&volume);
        used = 3;
      } else {
        used = 2;
      }
      DWORD_PTR result = 0;
      if (!::SendMessageTimeoutW(current, WM_DEVICECHANGE, static_cast<WPARAM>(a), data, SMTO_ABORTIFHUNG,
                                 timeout, &result))
        return Fail("WM_DEVICECHANGE was not answered");
    } else if (step == "gone") {
      if (id(1, &a)) used = 2;
      if (!driver.WaitGone(current, used == 2 ? static_cast<DWORD>(a) : timeout))
        return Fail("the dialog is still open");
    } else if (step == "shot") {
      if (!arg(1)) return Fail("shot needs a file");
      if (!Driver::Screenshot(current, FromUtf8(arg(1)))) return Fail("screenshot failed");
      used = 2;
    } else {
      return Fail("unknown step '" + step + "'");
    }
    i += used;
  }
  return 0;
}

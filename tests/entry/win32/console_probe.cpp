// console_probe: runs a program with its standard output on a console and
// prints what the console then shows.
//
//   console_probe CODEPAGE PROGRAM [ARGS...]
//
// Makes a console of its own with output code page CODEPAGE, runs PROGRAM
// (the rest of the command line as given) with that console as its standard
// output and error, waits for it, and writes the console's rows, trailing
// blanks cut, to its own standard output as UTF-8, one line each. Exit 0 when
// the program ran and exited 0; 77 when no console can be had here (the
// caller skips); 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() {
    if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool ok() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

// The command line after its first `skip` words, as given.
const wchar_t* AfterWords(const wchar_t* line, int skip) {
  for (int i = 0; i < skip; ++i) {
    while (*line == L' ' || *line == L'\t') ++line;
    bool quoted = false;
    for (; *line != L'\0' && (quoted || (*line != L' ' && *line != L'\t')); ++line) {
      if (*line == L'"') quoted = !quoted;
    }
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

void WriteOut(HANDLE out, const std::wstring& text) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
  if (n <= 0) return;
  std::string bytes(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr,
                        nullptr);
  DWORD written = 0;
  ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: console_probe CODEPAGE PROGRAM [ARGS...]\n");
    return 2;
  }
  // Our own output stays where the caller put it (a pipe).
  const HANDLE report = ::GetStdHandle(STD_OUTPUT_HANDLE);
  ::FreeConsole();
  if (!::AllocConsole()) {
    std::fprintf(stderr, "console_probe: no console: AllocConsole failed (error %lu)\n", ::GetLastError());
    return 77;
  }
  const UINT codepage = static_cast<UINT>(std::strtoul(argv[1], nullptr, 10));
  if (!::SetConsoleOutputCP(codepage)) {
    std::fprintf(stderr, "console_probe: the console refuses code page %u\n", codepage);
    return 77;
  }
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  Handle console(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inherit, OPEN_EXISTING, 0, nullptr));
  DWORD mode = 0;
  if (!console.ok() || !::GetConsoleMode(console.get(), &mode)) {
    std::fprintf(stderr, "console_probe: no console: CONOUT$ is not a console (error %lu)\n", ::GetLastError());
    return 77;
  }

  // Wide enough that no line the tools print wraps.
  ::SetConsoleScreenBufferSize(console.get(), COORD{200, 300});

  std::wstring command = AfterWords(::GetCommandLineW(), 2);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nullptr;
  si.hStdOutput = console.get();
  si.hStdError = console.get();
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "console_probe: cannot start %ls (error %lu)\n", command.c_str(), ::GetLastError());
    return 1;
  }
  Handle process(pi.hProcess);
  Handle thread(pi.hThread);
  if (::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.get(), 1);
    std::fprintf(stderr, "console_probe: the program did not end within 60 s\n");
    return 1;
  }
  DWORD code = 1;
  ::GetExitCodeProcess(process.get(), &code);

  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(console.get(), &info)) {
    std::fprintf(stderr, "console_probe: the console's size cannot be read\n");
    return 1;
  }
  const SHORT width = info.dwSize.X;
  for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
    std::wstring line(static_cast<std::size_t>(width), L' ');
    DWORD read = 0;
    if (!::ReadConsoleOutputCharacterW(console.get(), line.data(), static_cast<DWORD>(width), COORD{0, row},
                                       &read))
      return 1;
    line.resize(read);
    line.erase(line.find_last_not_of(L' ') + 1);
    WriteOut(report, line + L"\n");
  }
  if (code != 0) std::fprintf(stderr, "console_probe: the program exited %lu\n", code);
  return code == 0 ? 0 : 1;
}

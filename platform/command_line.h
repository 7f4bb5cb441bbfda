#pragma once
// The program's arguments as UTF-8. Windows: from the wide command line (the
// CRT's char argv is in the ANSI code page and loses what it cannot hold);
// POSIX: argv as given, which is UTF-8 under a UTF-8 locale.
#include <string>
#include <vector>

namespace torvane::platform {

std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace torvane::platform

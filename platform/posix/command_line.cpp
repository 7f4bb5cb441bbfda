#include "platform/command_line.h"

namespace torvane::platform {

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

}  // namespace torvane::platform

#include "platform/pipe.h"

namespace torvane::platform {

// The Windows library has real windows and needs no script.
std::unique_ptr<Pipe> Pipe::Open(std::string* error) {
  if (error) *error = "no scripted UI on this platform";
  return nullptr;
}

}  // namespace torvane::platform

#include "platform/secure_wipe.h"

namespace torvane::platform {

void WipeBytes(void* data, std::size_t size) {
  volatile unsigned char* p = static_cast<unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) p[i] = 0;
}

void WipeString(std::string& text) {
  // Growing to the capacity never reallocates, and makes every byte of the
  // buffer part of the text, so the wipe below may touch all of them.
  text.resize(text.capacity());
  WipeBytes(text.data(), text.size());
  text.clear();
}

}  // namespace torvane::platform

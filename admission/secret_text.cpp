#include "admission/secret_text.h"

namespace torvane::admission {

void WipeText(std::string& text) {
  // Volatile stores are not removed as dead by the optimiser.
  volatile char* p = text.data();
  for (std::size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
}

}  // namespace torvane::admission

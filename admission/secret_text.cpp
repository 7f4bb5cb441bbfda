#include "admission/secret_text.h"

#include "platform/secure_wipe.h"

namespace torvane::admission {

void WipeText(std::string& text) { platform::WipeString(text); }

SecretText::SecretText(std::string&& text) : text_(std::move(text)) {
  // A short text was copied out of the source's small-string buffer, which
  // still holds it; a long one left behind whatever that buffer held before
  // the string grew. Either way the source is wiped whole.
  WipeText(text);
}

SecretText::~SecretText() { WipeText(text_); }

}  // namespace torvane::admission

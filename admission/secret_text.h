#pragma once
// A password text. It takes the text's buffer from a string that is given up
// to it and leaves nothing of it in that string; its own buffer is wiped,
// whole, when it goes out of scope, so the password lingers neither in freed
// memory nor in a moved-from string's small-string buffer.
#include <string>

namespace torvane::admission {

// Zeroes the string's whole buffer (capacity, not size) and empties it.
void WipeText(std::string& text);

class SecretText {
 public:
  // Only from an rvalue: a copy would leave the password behind unwiped.
  explicit SecretText(std::string&& text);
  ~SecretText();
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;

  const std::string& str() const { return text_; }
  const char* c_str() const { return text_.c_str(); }

 private:
  std::string text_;
};

}  // namespace torvane::admission

#pragma once
// A password text, overwritten when it goes out of scope so that it does not
// linger in freed memory.
#include <string>

namespace torvane::admission {

void WipeText(std::string& text);

class SecretText {
 public:
  explicit SecretText(std::string text) : text_(std::move(text)) {}
  ~SecretText() { WipeText(text_); }
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;

  const std::string& str() const { return text_; }
  const char* c_str() const { return text_.c_str(); }

 private:
  std::string text_;
};

}  // namespace torvane::admission

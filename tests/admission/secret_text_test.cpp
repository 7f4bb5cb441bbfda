// Passwords must not outlive their use anywhere in memory: not in the string
// they came from, not past the text's current length, not in the object's
// own buffer after it is gone.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "admission/secret_text.h"

namespace torvane::admission {
namespace {

// Every byte of the string's buffer, its unused capacity included.
bool BufferIsZero(const std::string& s) {
  const char* p = s.data();
  for (std::size_t i = 0; i <= s.capacity(); ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

bool Holds(const void* memory, std::size_t size, std::string_view needle) {
  const std::string_view bytes(static_cast<const char*>(memory), size);
  return bytes.find(needle) != std::string_view::npos;
}

TEST(SecretText, TheSourceStringKeepsNothing) {
  // Short enough for the small-string buffer, where a move copies the bytes
  // and leaves them behind; and long enough for the heap.
  for (const std::string& password : {std::string("Pw12345678"), std::string(100, 'P') + "w123"}) {
    std::string typed = password;
    {
      const SecretText secret(std::move(typed));
      EXPECT_EQ(secret.str(), password);
    }
    EXPECT_TRUE(typed.empty());
    EXPECT_TRUE(BufferIsZero(typed)) << password.size();
  }
}

TEST(SecretText, ShorterTextOverALongerOneIsWipedWhole) {
  // The buffer once held a longer password; the text now is a shorter one.
  std::string typed = "LongerPassword-0123456789-0123456789";
  typed.assign("short");
  ASSERT_TRUE(Holds(typed.data(), typed.capacity(), "0123456789"));
  WipeText(typed);
  EXPECT_TRUE(typed.empty());
  EXPECT_TRUE(BufferIsZero(typed));
}

TEST(SecretText, ItsOwnBufferIsWipedWhenItGoes) {
  // Built in storage the test owns, so the bytes it leaves can be read after
  // its destructor ran (a short text lives inside the object).
  alignas(SecretText) unsigned char storage[sizeof(SecretText)];
  auto* secret = new (storage) SecretText(std::string("Pw123456"));
  ASSERT_TRUE(Holds(storage, sizeof storage, "Pw123456"));
  secret->~SecretText();
  EXPECT_FALSE(Holds(storage, sizeof storage, "w1234"));
}

}  // namespace
}  // namespace torvane::admission

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "tools/common/text_output.h"

namespace torvane::test {
namespace {

// A console that shows the first units it is given and then fails, as a
// WriteConsoleW failing partway does.
std::u16string g_shown;
std::size_t g_takes = 0;
std::size_t FailingConsole(std::u16string_view text) {
  const std::size_t n = std::min(g_takes, text.size());
  g_shown.append(text.substr(0, n));
  return n;
}

std::string Contents(std::FILE* f) {
  std::rewind(f);
  std::string bytes;
  for (int c; (c = std::fgetc(f)) != EOF;) bytes += static_cast<char>(c);
  return bytes;
}

// The console's part and the stdio part together are the line once: what
// the console showed is never written again (it once was, in full).
TEST(PrintLineTo, AConsoleFailingPartwayIsFinishedNotRepeated) {
  for (const std::size_t takes : {std::size_t{0}, std::size_t{3}, std::size_t{100}}) {
    SCOPED_TRACE(takes);
    g_shown.clear();
    g_takes = takes;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), &std::fclose);
    ASSERT_TRUE(out);
    tools::PrintLineTo("console line", FailingConsole, out.get());
    const std::string shown(g_shown.begin(), g_shown.end());  // ASCII here
    EXPECT_EQ(shown + Contents(out.get()), "console line\n");
  }
}

}  // namespace
}  // namespace torvane::test

#include <windows.h>

#include "platform/native_ui.h"

namespace torvane::platform {
namespace {

class Win32Ui final : public Ui {
 public:
  int RunModal(int, DialogHandler&) override { return -1; }
  int MessageBox(DialogWindow*, std::string_view text, std::string_view caption,
                 unsigned type) override {
    const std::string t(text), c(caption);
    return ::MessageBoxA(nullptr, t.c_str(), c.c_str(), type);
  }
  void MessageBeep(unsigned type) override { ::MessageBeep(type); }
};

}  // namespace

std::unique_ptr<Ui> CreateNativeUi(std::string*) { return std::make_unique<Win32Ui>(); }

}  // namespace torvane::platform

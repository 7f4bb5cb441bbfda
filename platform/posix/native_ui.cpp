#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/native_ui.h"
#include "platform/scripted_ui.h"

namespace torvane::platform {

std::unique_ptr<Ui> CreateNativeUi(std::string* error) {
  std::string script;
  if (const char* path = std::getenv("TORVANE_UI_SCRIPT"); path && *path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      if (error) *error = std::string("cannot read UI script ") + path;
      return nullptr;
    }
    std::ostringstream text;
    text << in.rdbuf();
    script = text.str();
  }
  auto ui = ScriptedUi::FromText(script, error);
  if (!ui) return nullptr;
  if (const char* path = std::getenv("TORVANE_UI_TRANSCRIPT"); path && *path) {
    auto out = std::make_shared<std::ofstream>(path, std::ios::binary | std::ios::app);
    ui->SetTranscriptSink([out](const std::string& line) { *out << line << '\n' << std::flush; });
  }
  return ui;
}

}  // namespace torvane::platform

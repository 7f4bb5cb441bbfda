#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/native_ui.h"
#include "platform/scripted_ui.h"

namespace torvane::platform {
namespace {

// The UI handed out for a live script: the reader thread shares the scripted
// UI, so a line that arrives after the window has gone touches nothing freed.
class LiveUi final : public Ui {
 public:
  explicit LiveUi(std::shared_ptr<ScriptedUi> ui) : ui_(std::move(ui)) {}
  int RunModal(int templateId, DialogHandler& handler) override { return ui_->RunModal(templateId, handler); }
  int MessageBox(DialogWindow* owner, std::string_view text, std::string_view caption,
                 unsigned type) override {
    return ui_->MessageBox(owner, text, caption, type);
  }
  void MessageBeep(unsigned type) override { ui_->MessageBeep(type); }

 private:
  std::shared_ptr<ScriptedUi> ui_;
};

bool IsPipe(const char* path) {
  struct stat st {};
  return ::stat(path, &st) == 0 && S_ISFIFO(st.st_mode);
}

void SetUpTranscript(ScriptedUi& ui) {
  if (const char* path = std::getenv("TORVANE_UI_TRANSCRIPT"); path && *path) {
    auto out = std::make_shared<std::ofstream>(path, std::ios::binary | std::ios::app);
    ui.SetTranscriptSink([out](const std::string& line) { *out << line << '\n' << std::flush; });
  }
  if (const char* stamps = std::getenv("TORVANE_UI_TIMESTAMPS"); stamps && *stamps && *stamps != '0') {
    ui.SetTimestamps(true);
  }
}

// A script read from a pipe is live: each line is fed as it comes, and the
// writer closing the pipe ends the script.
std::unique_ptr<Ui> StartLive(const char* path, std::string* error) {
  auto in = std::make_shared<std::ifstream>(path, std::ios::binary);
  if (!*in) {
    if (error) *error = std::string("cannot read UI script ") + path;
    return nullptr;
  }
  auto ui = std::make_shared<ScriptedUi>(std::vector<ScriptedUi::Step>{});
  SetUpTranscript(*ui);
  ui->StartFeed();
  try {
    std::thread([ui, in] {
      for (std::string line; std::getline(*in, line);) ui->Feed(line);
      ui->EndFeed();
    }).detach();
  } catch (const std::system_error&) {
    if (error) *error = "cannot start the UI script reader";
    return nullptr;
  }
  return std::make_unique<LiveUi>(std::move(ui));
}

}  // namespace

std::unique_ptr<Ui> CreateNativeUi(std::string* error) {
  std::string script;
  if (const char* path = std::getenv("TORVANE_UI_SCRIPT"); path && *path) {
    if (IsPipe(path)) return StartLive(path, error);
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
  SetUpTranscript(*ui);
  return ui;
}

}  // namespace torvane::platform

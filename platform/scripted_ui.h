#pragma once
// A scripted window system: a script answers every dialog and message box,
// and everything shown is written to a transcript. The POSIX backend of the
// dialog framework, and on every target the driver of scenario tests.
//
// Script: one step per line; blank lines and lines starting with # are
// skipped. TEXT is the rest of the line after one blank, byte for byte,
// where \xHH gives any byte and \\ a backslash.
//   dialog ID        the next dialog to open is ID; waits for it (below)
//   type ID TEXT     sets the text of control ID (TEXT may be empty)
//   check ID         checks check box ID;  uncheck ID clears it
//   press ID         clicks button ID (ignored while it is disabled)
//   enter            the Enter key: press 1 (the default button)
//   close            the close box or Escape: IDCANCEL
//   wait MS          lets the dialog's running timers fire for MS ms
//   box [BUTTON]     answers the next message box (default 1, IDOK)
//   arrive           main window: device arrival (WM_DEVICECHANGE 0x8000)
//   remove LETTERS [TYPE]
//                    main window: removal complete (0x8004) of the drives
//                    named (e.g. "f" or "ef"; or a mask "0x20"), device type
//                    TYPE (default 2, a volume; "none" for no event data)
//   timer ID         main window: WM_TIMER with this id
//   call NAME        runs the hook the host registered under NAME
// Who takes a step: dialog and control steps (type, check, uncheck, press,
// enter, close, wait) go to the newest open dialog; arrive, remove and timer
// to the oldest (the main window); `dialog` to the next dialog opened; `box`
// to the next message box; `call` to whoever reaches it. A message box with
// no `box` step at the head of the script is answered IDOK at once. A dialog
// whose step is for another one waits while dialogs of other threads (or
// the main window) are open, at most the step wait (5 s), then the step is
// dropped with a note; alone on its thread it drops the step at once. When
// the script runs out, open dialogs end with IDCANCEL; the main window first
// waits (bounded) for the other dialogs to end.
//
// Transcript: one line per event, texts in quotes as their bytes (GBK):
//   dialog 8001 open            dialog 8001 end 1
//   8001 centre | 8001 focus 8001 | 8001 show 0,0 0x0
//   8001 set 8001 "text"        (by the dialog's code)
//   8003 title "text"           (window title set by the dialog's code)
//   8001 type 8001 "****"       (by the script: typed text is masked)
//   8001 check 8006 1 | 8001 enable 8000 0 | 8001 press 1 | 8001 close
//   8001 timer 1 | 8001 settimer 1 10000 | 8001 killtimer 1
//   8000 arrive | 8000 remove 0x20 type 2
//   box 8001 "caption" 0x30 "text" -> 1     (owner 0: none)
//   beep 0x30
//   note: ...                   (script trouble: dropped steps, the end)
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialog.h"

namespace torvane::platform {

class ScriptedUi final : public Ui {
 public:
  enum class Kind { kDialog, kType, kCheck, kUncheck, kPress, kClose, kWait, kBox, kArrive, kRemove, kTimer, kCall };
  struct Step {
    Kind kind = Kind::kPress;
    int id = 0;                // control, dialog, timer or button id
    std::string text;          // typed text or hook name
    std::uint32_t mask = 0;    // remove: unit mask
    std::uint32_t devType = kDbtDevtypVolume;
    bool hasHeader = true;
    unsigned ms = 0;
    int line = 0;
  };

  // Parses `script`; nullptr and *error ("line N: ...") when it is malformed.
  static std::unique_ptr<ScriptedUi> FromText(std::string_view script, std::string* error);

  explicit ScriptedUi(std::vector<Step> steps);
  ~ScriptedUi() override;

  // Each transcript line is also handed to `sink` as it is written.
  void SetTranscriptSink(std::function<void(const std::string&)> sink);
  void SetHook(const std::string& name, std::function<void()> hook);
  void SetStepWait(std::chrono::milliseconds wait) { stepWait_ = wait; }

  std::vector<std::string> Transcript() const;
  bool Exhausted() const;  // every step taken or dropped

  int RunModal(int templateId, DialogHandler& handler) override;
  int MessageBox(DialogWindow* owner, std::string_view text, std::string_view caption,
                 unsigned type) override;
  void MessageBeep(unsigned type) override;

  class Window;

 private:
  friend class Window;
  void Write(const std::string& line);            // takes the lock
  void WriteLocked(const std::string& line);      // lock held
  std::optional<Step> Next(Window& w, Window*& target);
  bool Claimable(const Step& s, const Window& w) const;
  bool OthersOpen(const Window& w) const;
  void Apply(Window& w, DialogHandler& handler, const Step& s);

  mutable std::mutex mu_;
  std::condition_variable cv_;
  std::vector<Step> steps_;
  std::size_t cursor_ = 0;
  std::uint64_t generation_ = 0;
  std::vector<Window*> open_;  // open dialogs, oldest first
  std::vector<std::string> transcript_;
  std::function<void(const std::string&)> sink_;
  std::map<std::string, std::function<void()>> hooks_;
  std::chrono::milliseconds stepWait_{5000};
};

}  // namespace torvane::platform

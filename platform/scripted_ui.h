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
//   arrive [TYPE]    main window: device arrival (WM_DEVICECHANGE 0x8000);
//                    TYPE names the device type of the event data: a number
//                    or oem (0), volume (2), port (3), interface (5),
//                    handle (6); without it the event carries no data
//   remove LETTERS [TYPE]
//                    main window: removal complete (0x8004) of the drives
//                    named (e.g. "f" or "ef"; or a mask "0x20"), device type
//                    TYPE (default 2, a volume; "none" for no event data)
//   timer ID         main window: WM_TIMER with this id
//   call NAME        runs the hook the host registered under NAME
//   sleep MS         holds the script for MS ms of real time (no window
//                    takes a step meanwhile; timers do not fire)
//   quit             the main window's thread gets a quit message: the
//                    main window ends with IDCANCEL, whatever else is open
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
// A live script (Feed, then EndFeed) is given line by line while dialogs run:
// running out of steps then means waiting for the next line, and only the
// end of the feed counts as the end of the script.
//
// Transcript: one line per event, texts in quotes as their bytes (GBK):
//   dialog 8001 open            dialog 8001 end 1
//   8001 centre | 8001 focus 8001 | 8001 show 0,0 0x0
//   8001 set 8001 "text"        (by the dialog's code)
//   8003 title "text"           (window title set by the dialog's code)
//   8001 type 8001 "****"       (by the script: typed text is masked)
//   8001 check 8006 1 | 8001 enable 8000 0 | 8001 press 1 | 8001 close
//   8001 timer 1 | 8001 settimer 1 10000 | 8001 killtimer 1
//   8000 arrive | 8000 arrive type 5 | 8000 remove 0x20 type 2 | 8000 quit
//   box 8001 "caption" 0x30 "text" -> 1     (owner 0: none)
//   beep 0x30
//   note: ...                   (script trouble: dropped steps, the end)
// With time stamps on, each line starts with the milliseconds since the UI
// was made in brackets: "[1520] dialog 8001 open".
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
  enum class Kind {
    kDialog, kType, kCheck, kUncheck, kPress, kClose, kWait, kBox, kArrive, kRemove, kTimer, kCall,
    kSleep, kQuit
  };
  struct Step {
    Kind kind = Kind::kPress;
    int id = 0;                // control, dialog, timer or button id
    std::string text;          // typed text or hook name
    std::uint32_t mask = 0;    // remove: unit mask
    std::uint32_t devType = kDbtDevtypVolume;
    bool hasHeader = true;     // remove (default) and arrive (with TYPE)
    unsigned ms = 0;
    int line = 0;
  };

  // Parses `script`; nullptr and *error ("line N: ...") when it is malformed.
  static std::unique_ptr<ScriptedUi> FromText(std::string_view script, std::string* error);
  // One script line; false and *error when it is malformed. Blank lines and
  // comments give no step (`step` is then empty).
  static bool ParseLine(std::string line, int number, std::optional<Step>& step, std::string* error);

  explicit ScriptedUi(std::vector<Step> steps);
  ~ScriptedUi() override;

  // Each transcript line is also handed to `sink` as it is written.
  void SetTranscriptSink(std::function<void(const std::string&)> sink);
  void SetHook(const std::string& name, std::function<void()> hook);
  void SetStepWait(std::chrono::milliseconds wait) { stepWait_ = wait; }
  // Prefixes every later transcript line with the milliseconds since the UI
  // was made.
  void SetTimestamps(bool on);

  // Live script: the UI waits for more lines until EndFeed. A malformed line
  // is noted in the transcript and skipped. While the feed is open, steps
  // taken are let go, and lines handed to a transcript sink are not kept,
  // so a feed that runs for months holds only what is still to come.
  void StartFeed();
  void Feed(const std::string& line);
  void EndFeed();

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
  void Sleep(std::unique_lock<std::mutex>& lock, unsigned ms);
  // During a live feed, steps already taken are wiped and let go.
  void DropTakenLocked();

  mutable std::mutex mu_;
  std::condition_variable cv_;
  std::vector<Step> steps_;
  std::size_t cursor_ = 0;
  std::size_t dropped_ = 0;  // taken steps let go from the front of steps_
  std::uint64_t generation_ = 0;
  std::vector<Window*> open_;  // open dialogs, oldest first
  std::vector<std::string> transcript_;
  std::function<void(const std::string&)> sink_;
  std::map<std::string, std::function<void()>> hooks_;
  std::chrono::milliseconds stepWait_{5000};
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  bool timestamps_ = false;
  bool live_ = false;        // a feed is open: more steps may come
  int fedLines_ = 0;
  std::chrono::steady_clock::time_point sleepUntil_{};
};

}  // namespace torvane::platform

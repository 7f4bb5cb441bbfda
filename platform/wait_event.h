#pragma once
// A waitable event, manual- or auto-reset, as the file activity monitor uses
// them to hand-shake between its threads. WaitDispatching also runs the
// calling thread's window messages while it waits (Windows); a thread without
// windows just waits.
#include <cstdint>
#include <memory>

namespace torvane::platform {

class WaitEvent {
 public:
  enum class Reset { kManual, kAuto };

  explicit WaitEvent(Reset reset);
  ~WaitEvent();
  WaitEvent(const WaitEvent&) = delete;
  WaitEvent& operator=(const WaitEvent&) = delete;

  // False when the platform could not create the event; nothing else works then.
  bool ok() const;
  void Set();
  void ResetSignal();
  // True when the event was signalled within `ms` milliseconds.
  bool Wait(std::uint32_t ms);
  // As Wait, but dispatches window messages that arrive meanwhile (a quit
  // message ends that pass of dispatching).
  bool WaitDispatching(std::uint32_t ms);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace torvane::platform

#pragma once
// A thread with a message queue: messages posted to it are handed, one at a
// time and in the order posted, to its handler on that thread, until it is
// told to quit. Windows: a thread's own message queue (PostThreadMessage,
// GetMessage). POSIX: a bounded queue of the same capacity.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace torvane::platform {

class MessageThread {
 public:
  // Called on the thread for each message; `discard` is true for messages
  // still queued when the thread quits, which must only be released.
  using Handler = std::function<void(std::uint32_t message, std::uintptr_t payload, bool discard)>;

  // Starts the thread and returns once it can receive messages; null (and the
  // platform's error in `error`) when no thread could be started.
  static std::shared_ptr<MessageThread> Start(Handler handler, std::uint32_t& error);

  virtual ~MessageThread() = default;
  // False when the message was refused (queue full, or the thread quitting).
  virtual bool Post(std::uint32_t message, std::uintptr_t payload) = 0;
  // Asks the thread to end after the messages already queued.
  virtual void Quit() = 0;
  // Waits up to `timeout` for the thread to end; true when it has.
  virtual bool WaitEnded(std::chrono::milliseconds timeout) = 0;
  // Waits for the thread to end, however long that takes.
  virtual void Join() = 0;
  // Whether the caller runs on this thread.
  virtual bool IsCurrent() const = 0;
};

// Most messages a queue holds; later posts are refused.
inline constexpr std::size_t kMessageQueueLimit = 10000;

}  // namespace torvane::platform

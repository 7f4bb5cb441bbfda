// A thread with a bounded FIFO message queue, in the manner of a Windows
// thread's own queue.
#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/thread_queue.h"

namespace torvane::platform {
namespace {

class PosixMessageThread final : public MessageThread {
 public:
  explicit PosixMessageThread(Handler handler) : handler_(std::move(handler)) {}

  ~PosixMessageThread() override {
    Quit();
    Join();
  }

  bool Launch(std::uint32_t& error) {
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error& e) {
      error = static_cast<std::uint32_t>(e.code().value());
      return false;
    }
    return true;
  }

  bool Post(std::uint32_t message, std::uintptr_t payload) override {
    {
      std::lock_guard guard(lock_);
      if (quitting_ || queue_.size() >= kMessageQueueLimit) return false;
      queue_.push_back({message, payload});
    }
    cv_.notify_one();
    return true;
  }

  void Quit() override {
    {
      std::lock_guard guard(lock_);
      quit_posted_ = true;
    }
    cv_.notify_one();
  }

  bool WaitEnded(std::chrono::milliseconds timeout) override {
    std::unique_lock lock(lock_);
    return ended_cv_.wait_for(lock, timeout, [&] { return ended_; });
  }

  // The owner never lets go of the last reference on the thread itself.
  void Join() override {
    std::lock_guard guard(join_lock_);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  }

  bool IsCurrent() const override { return std::this_thread::get_id() == id_.load(); }

 private:
  struct Message {
    std::uint32_t message;
    std::uintptr_t payload;
  };

  void Run() {
    id_.store(std::this_thread::get_id());
    std::unique_lock lock(lock_);
    for (;;) {
      cv_.wait(lock, [&] { return !queue_.empty() || quit_posted_; });
      if (queue_.empty()) break;  // quit after everything queued before it
      const Message m = queue_.front();
      queue_.pop_front();
      lock.unlock();
      handler_(m.message, m.payload, false);
      lock.lock();
    }
    quitting_ = true;
    // Nothing can be queued any more; release what is left (none normally).
    std::deque<Message> left;
    left.swap(queue_);
    lock.unlock();
    for (const Message& m : left) handler_(m.message, m.payload, true);
    lock.lock();
    ended_ = true;
    ended_cv_.notify_all();
  }

  Handler handler_;
  std::mutex lock_;
  std::condition_variable cv_;
  std::condition_variable ended_cv_;
  std::deque<Message> queue_;
  bool quit_posted_ = false;
  bool quitting_ = false;
  bool ended_ = false;
  std::atomic<std::thread::id> id_{};
  std::mutex join_lock_;
  std::thread thread_;
};

}  // namespace

std::shared_ptr<MessageThread> MessageThread::Start(Handler handler, std::uint32_t& error) {
  auto t = std::make_shared<PosixMessageThread>(std::move(handler));
  if (!t->Launch(error)) return nullptr;
  return t;
}

}  // namespace torvane::platform

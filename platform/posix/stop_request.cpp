#include "platform/stop_request.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/deadline.h"

namespace torvane::platform::stop_request {
namespace {

// A pipe the signal handler writes a byte into (the only thing a handler
// may safely do); the waiter sleeps in poll on its other end. Both ends live
// as long as the process, as the handlers do.
int g_pipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

bool Install(std::string* error) {
  if (g_pipe[0] >= 0) return true;
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    if (error) *error = std::string("stop pipe: ") + std::strerror(errno);
    g_pipe[0] = g_pipe[1] = -1;
    return false;
  }
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESTART;  // other threads' blocking reads carry on
  ::sigemptyset(&action.sa_mask);
  if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0) {
    if (error) *error = std::string("stop signals: ") + std::strerror(errno);
    return false;
  }
  return true;
}

void Request() { OnStopSignal(0); }

bool Wait(std::optional<std::chrono::milliseconds> limit) {
  if (g_pipe[0] < 0) return false;
  using Clock = std::chrono::steady_clock;
  const auto end = limit ? SteadyDeadline(*limit) : Clock::time_point::max();
  for (;;) {
    int timeout = -1;
    if (limit) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
      if (left.count() <= 0) return false;
      timeout = left.count() > 1'000'000'000 ? 1'000'000'000 : static_cast<int>(left.count());
    }
    pollfd p{g_pipe[0], POLLIN, 0};
    const int r = ::poll(&p, 1, timeout);
    // The byte stays in the pipe: a stop, once requested, stays requested.
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) return false;
  }
}

}  // namespace torvane::platform::stop_request

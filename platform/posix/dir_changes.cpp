// Directory change reads over inotify, shaped as the Windows contract: one
// inotify instance per opened directory (with a watch on every directory of
// the subtree, added as directories appear), change entries in the Windows
// layout with UTF-16 names and backslashes, and a completion port that is a
// packet queue whose waiter polls the directories' inotify descriptors.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/dir_changes.h"
#include "platform/drive_map.h"
#include "platform/utf8.h"

namespace torvane::platform {
namespace {

// Changes held for a directory between reads: when more arrive than fit,
// they are dropped and the next read reports 0 bytes, as on Windows. Past
// half of it, inotify is left to queue further events in the kernel until
// reads have taken some (an inotify read adds at most twice its size).
constexpr std::size_t kBacklogLimit = 64 * 1024;
constexpr std::size_t kBacklogDrainStop = kBacklogLimit / 2;
constexpr std::size_t kInotifyReadSize = 16 * 1024;

constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB |
                                     IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                     IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;

constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorTooManyOpenFiles = 4;
constexpr std::uint32_t kErrorDirectory = 267;
constexpr std::uint32_t kErrorNoSystemResources = 1450;

std::uint32_t FromErrno(int e) {
  switch (e) {
    case ENOENT: return error::kFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM: return error::kAccessDenied;
    case ENOMEM: return error::kOutOfMemory;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case ENOSPC: return kErrorNoSystemResources;
    default: return error::kGenFailure;
  }
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

void PutU32(std::byte* at, std::uint32_t v) { std::memcpy(at, &v, 4); }
std::uint32_t GetU32(const std::byte* at) {
  std::uint32_t v;
  std::memcpy(&v, at, 4);
  return v;
}

std::string JoinRel(const std::string& dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  std::string out = dir;
  out += '/';
  out += name;
  return out;
}

bool HasPrefixDir(const std::string& path, const std::string& dir) {
  return path == dir || (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
                         path[dir.size()] == '/');
}

struct DirState;

struct PortCore {
  std::mutex lock;
  std::deque<PortPacket> packets;
  std::vector<std::shared_ptr<DirState>> dirs;  // associated and open
  Fd wake{::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)};

  void Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wake.get(), &one, sizeof one);
  }
  // Under `lock`.
  void Queue(const PortPacket& p) {
    packets.push_back(p);
    Wake();
  }
};

// One opened directory. Once associated, every field is guarded by the
// port's lock.
struct DirState {
  std::string root;  // native path of the directory
  Fd inotify;
  std::unordered_map<int, std::string> dirs;  // watch -> directory below the root
  int root_wd = -1;
  std::atomic<bool> closed{false};
  bool subtree = false;
  bool subtree_watched = false;
  std::uint32_t filter = 0;

  std::byte* buffer = nullptr;  // the outstanding read
  std::size_t size = 0;
  bool pending = false;

  std::vector<std::byte> backlog;  // entries waiting for a read
  std::size_t last_entry = 0;      // offset of the newest entry, when any
  bool overflow = false;
  std::uint32_t failure = 0;  // the directory is gone: reads fail with this

  struct Move {
    std::uint32_t cookie;
    std::string rel;
    bool dir;
  };
  std::optional<Move> move;  // an old name waiting for its new name

  std::shared_ptr<PortCore> port;
  std::uintptr_t key = 0;

  void AddEntry(std::uint32_t action, const std::string& rel) {
    std::u16string name = Utf8ToUtf16(rel);
    for (char16_t& c : name) {
      if (c == u'/') c = u'\\';
    }
    const std::size_t bytes = name.size() * 2;
    const std::size_t entry = (12 + bytes + 3) & ~std::size_t{3};
    if (action == kActionModified && !backlog.empty()) {
      // A burst of writes to one file is one change until it is read.
      const std::byte* last = backlog.data() + last_entry;
      if (GetU32(last + 4) == action && GetU32(last + 8) == bytes &&
          std::memcmp(last + 12, name.data(), bytes) == 0)
        return;
    }
    if (backlog.size() + entry > kBacklogLimit) {
      overflow = true;
      backlog.clear();
      return;
    }
    last_entry = backlog.size();
    backlog.resize(backlog.size() + entry, std::byte{0});
    std::byte* at = backlog.data() + last_entry;
    PutU32(at, static_cast<std::uint32_t>(entry));
    PutU32(at + 4, action);
    PutU32(at + 8, static_cast<std::uint32_t>(bytes));
    std::memcpy(at + 12, name.data(), bytes);
  }

  int AddWatch(const std::string& rel) {
    const std::string path = rel.empty() ? root : root + "/" + rel;
    const int wd = ::inotify_add_watch(inotify.get(), path.c_str(), kWatchMask);
    if (wd >= 0) dirs[wd] = rel;
    return wd;
  }

  // Watches `top` (unless it is watched already) and every directory below
  // it; with `announce`, reports what it finds there as added, since it may
  // have appeared before the watch did.
  void WatchTree(const std::string& top, bool announce, bool watch_top) {
    std::vector<std::string> stack{top};
    bool first = true;
    while (!stack.empty()) {
      const std::string rel = std::move(stack.back());
      stack.pop_back();
      if ((!first || watch_top) && AddWatch(rel) < 0) {
        first = false;
        continue;
      }
      first = false;
      const std::string path = rel.empty() ? root : root + "/" + rel;
      DIR* d = ::opendir(path.c_str());
      if (!d) continue;
      while (const dirent* e = ::readdir(d)) {
        const std::string_view name(e->d_name);
        if (name == "." || name == "..") continue;
        const std::string child = JoinRel(rel, name);
        bool is_dir = e->d_type == DT_DIR;
        struct stat st {};
        if (e->d_type == DT_UNKNOWN || (announce && !is_dir)) {
          const bool known = ::lstat((root + "/" + child).c_str(), &st) == 0;
          is_dir = known && S_ISDIR(st.st_mode);
        }
        if (announce && (filter & (is_dir ? kNotifyDirName : kNotifyFileName)))
          AddEntry(kActionAdded, child);
        // Written before the watch could see it: Windows would have said so.
        if (announce && !is_dir && st.st_size > 0 && (filter & (kNotifyLastWrite | kNotifySize)))
          AddEntry(kActionModified, child);
        if (is_dir) stack.push_back(child);
      }
      ::closedir(d);
    }
  }

  void ForgetTree(const std::string& rel) {
    for (auto it = dirs.begin(); it != dirs.end();) {
      if (it->first != root_wd && HasPrefixDir(it->second, rel)) {
        ::inotify_rm_watch(inotify.get(), it->first);
        it = dirs.erase(it);
      } else {
        ++it;
      }
    }
  }

  void RenameTree(const std::string& from, const std::string& to) {
    for (auto& [wd, rel] : dirs) {
      if (wd != root_wd && HasPrefixDir(rel, from)) rel = to + rel.substr(from.size());
    }
  }

  // An old name whose new name never came: it left the tree.
  void FlushMove() {
    if (!move) return;
    if (filter & (move->dir ? kNotifyDirName : kNotifyFileName)) AddEntry(kActionRemoved, move->rel);
    if (move->dir) ForgetTree(move->rel);
    move.reset();
  }

  void Handle(const inotify_event& ev, std::string_view name) {
    if (ev.mask & IN_Q_OVERFLOW) {
      FlushMove();
      overflow = true;
      return;
    }
    if (move && !((ev.mask & IN_MOVED_TO) && ev.cookie == move->cookie)) FlushMove();
    if (ev.mask & IN_IGNORED) {
      if (ev.wd == root_wd) failure = error::kAccessDenied;
      dirs.erase(ev.wd);
      return;
    }
    const auto it = dirs.find(ev.wd);
    if (it == dirs.end()) return;
    if (name.empty()) {
      if (ev.wd == root_wd && (ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)))
        failure = error::kAccessDenied;
      return;
    }
    const std::string rel = JoinRel(it->second, name);
    const bool is_dir = ev.mask & IN_ISDIR;
    const bool want_name = filter & (is_dir ? kNotifyDirName : kNotifyFileName);
    if (ev.mask & IN_CREATE) {
      if (want_name) AddEntry(kActionAdded, rel);
      if (is_dir && subtree) WatchTree(rel, true, true);
    } else if (ev.mask & IN_DELETE) {
      if (want_name) AddEntry(kActionRemoved, rel);
    } else if (ev.mask & IN_MODIFY) {
      if (filter & (kNotifyLastWrite | kNotifySize)) AddEntry(kActionModified, rel);
    } else if (ev.mask & IN_ATTRIB) {
      if (filter & (kNotifyAttributes | kNotifyLastWrite | kNotifyCreation | kNotifySecurity))
        AddEntry(kActionModified, rel);
    } else if (ev.mask & IN_MOVED_FROM) {
      move = Move{ev.cookie, rel, is_dir};
    } else if (ev.mask & IN_MOVED_TO) {
      if (move) {
        if (want_name) {
          AddEntry(kActionRenamedOldName, move->rel);
          AddEntry(kActionRenamedNewName, rel);
        }
        if (is_dir) RenameTree(move->rel, rel);
        move.reset();
      } else {
        if (want_name) AddEntry(kActionAdded, rel);  // moved in from outside
        if (is_dir && subtree) WatchTree(rel, true, true);
      }
    }
  }

  bool WantsEvents() const { return pending || backlog.size() < kBacklogDrainStop; }

  // Reads what inotify has for this directory, while there is room.
  void Drain() {
    alignas(inotify_event) char buf[kInotifyReadSize];
    while (backlog.size() < kBacklogDrainStop) {
      const ssize_t n = ::read(inotify.get(), buf, sizeof buf);
      if (n <= 0) {
        if (n < 0 && errno == EINTR) continue;
        if (move) {
          // The new name of a rename follows its old name at once; give it a
          // moment before deciding the file left the tree.
          pollfd p{inotify.get(), POLLIN, 0};
          if (::poll(&p, 1, 10) > 0) continue;
          FlushMove();
        }
        return;
      }
      std::size_t at = 0;
      while (at + sizeof(inotify_event) <= static_cast<std::size_t>(n)) {
        inotify_event ev;
        std::memcpy(&ev, buf + at, sizeof ev);
        const std::size_t room = static_cast<std::size_t>(n) - at - sizeof ev;
        const std::size_t len = ev.len < room ? ev.len : room;
        const char* name = buf + at + sizeof ev;
        Handle(ev, std::string_view(name, ::strnlen(name, len)));
        at += sizeof ev + ev.len;
      }
    }
  }

  void Complete(bool ok, std::uint32_t bytes, std::uint32_t err) {
    pending = false;
    buffer = nullptr;
    size = 0;
    port->Queue(PortPacket{true, ok, key, bytes, err});
  }

  // Completes the outstanding read when there is anything to tell.
  void Deliver() {
    if (!pending) return;
    if (overflow) {
      overflow = false;
      Complete(true, 0, 0);
      return;
    }
    if (!backlog.empty()) {
      std::size_t taken = 0;
      std::size_t last = 0;
      while (taken < backlog.size()) {
        const std::size_t entry = GetU32(backlog.data() + taken);
        if (taken + entry > size) break;
        last = taken;
        taken += entry;
      }
      if (taken == 0) {
        // Not even one entry fits the caller's buffer: it is lost.
        const std::size_t entry = GetU32(backlog.data());
        backlog.erase(backlog.begin(), backlog.begin() + static_cast<std::ptrdiff_t>(entry));
        last_entry = backlog.empty() ? 0 : last_entry - entry;
        Complete(true, 0, 0);
        return;
      }
      std::memcpy(buffer, backlog.data(), taken);
      PutU32(buffer + last, 0);
      backlog.erase(backlog.begin(), backlog.begin() + static_cast<std::ptrdiff_t>(taken));
      last_entry = backlog.empty() ? 0 : last_entry - taken;
      Complete(true, static_cast<std::uint32_t>(taken), 0);
      return;
    }
    if (failure) Complete(false, 0, failure);
  }
};

class PosixDirectory final : public ChangeDirectory {
 public:
  explicit PosixDirectory(std::shared_ptr<DirState> state) : state_(std::move(state)) {}
  ~PosixDirectory() override { Close(); }

  std::uint32_t Read(std::byte* buffer, std::size_t size, bool subtree,
                     std::uint32_t filter) override {
    const auto port = state_->port;
    if (!port) return error::kInvalidParameter;
    std::lock_guard guard(port->lock);
    DirState& s = *state_;
    if (s.closed) return error::kInvalidHandle;
    if (s.pending || !buffer) return error::kInvalidParameter;
    if (s.failure && s.backlog.empty() && !s.overflow) return s.failure;
    if (s.filter == 0) {
      s.filter = filter;
      s.subtree = subtree;
    }
    if (s.subtree && !s.subtree_watched) {
      s.subtree_watched = true;
      s.WatchTree("", false, false);
    }
    s.buffer = buffer;
    s.size = size;
    s.pending = true;
    s.Deliver();
    return 0;
  }

  void Close() override {
    const auto port = state_->port;
    if (!port) {
      state_->closed = true;
      return;
    }
    std::lock_guard guard(port->lock);
    DirState& s = *state_;
    if (s.closed) return;
    s.closed = true;
    if (s.pending) s.Complete(false, 0, error::kOperationAborted);
    s.backlog.clear();
    s.move.reset();
    std::erase(port->dirs, state_);
  }

  bool closed() const override { return state_->closed; }

  const std::shared_ptr<DirState>& state() const { return state_; }

 private:
  std::shared_ptr<DirState> state_;
};

class PosixPort final : public ChangePort {
 public:
  PosixPort() : core_(std::make_shared<PortCore>()) {}
  ~PosixPort() override {
    std::lock_guard guard(core_->lock);
    core_->dirs.clear();
  }
  bool ok() const { return core_->wake.get() >= 0; }

  std::uint32_t Associate(ChangeDirectory& dir, std::uintptr_t key) override {
    const auto& state = static_cast<PosixDirectory&>(dir).state();
    std::lock_guard guard(core_->lock);
    if (state->closed) return error::kInvalidHandle;
    if (state->port) return error::kInvalidParameter;
    state->port = core_;
    state->key = key;
    core_->dirs.push_back(state);
    core_->Wake();
    return 0;
  }

  bool Post(std::uintptr_t key, std::uint32_t bytes) override {
    std::lock_guard guard(core_->lock);
    core_->Queue(PortPacket{true, true, key, bytes, 0});
    return true;
  }

  PortPacket Wait() override {
    for (;;) {
      std::vector<std::shared_ptr<DirState>> watched;
      std::vector<pollfd> fds;
      {
        std::lock_guard guard(core_->lock);
        if (!core_->packets.empty()) {
          const PortPacket p = core_->packets.front();
          core_->packets.pop_front();
          return p;
        }
        fds.push_back({core_->wake.get(), POLLIN, 0});
        for (const auto& d : core_->dirs) {
          if (!d->WantsEvents()) continue;  // full until a read takes some
          watched.push_back(d);
          fds.push_back({d->inotify.get(), POLLIN, 0});
        }
      }
      if (::poll(fds.data(), fds.size(), -1) < 0) {
        if (errno == EINTR) continue;
        return PortPacket{false, false, 0, 0, FromErrno(errno)};
      }
      std::lock_guard guard(core_->lock);
      if (fds[0].revents & POLLIN) {
        std::uint64_t v;
        [[maybe_unused]] const auto n = ::read(core_->wake.get(), &v, sizeof v);
      }
      for (std::size_t i = 0; i < watched.size(); ++i) {
        DirState& d = *watched[i];
        if (d.closed || !(fds[i + 1].revents & (POLLIN | POLLERR | POLLHUP))) continue;
        d.Drain();
        d.Deliver();
      }
    }
  }

 private:
  std::shared_ptr<PortCore> core_;
};

}  // namespace

bool IsDirectoryPath(std::string_view path) {
  const std::string native = NativePath(path);
  struct stat st;
  return !native.empty() && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::unique_ptr<ChangeDirectory> ChangeDirectory::Open(std::string_view path,
                                                       std::uint32_t& err) {
  auto state = std::make_shared<DirState>();
  state->root = NativePath(path);
  while (state->root.size() > 1 && state->root.back() == '/') state->root.pop_back();
  if (state->root.empty()) {
    err = kErrorPathNotFound;
    return nullptr;
  }
  {
    Fd probe(::open(state->root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (probe.get() < 0) {
      err = errno == ENOTDIR ? kErrorDirectory : FromErrno(errno);
      return nullptr;
    }
  }
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) {
    err = FromErrno(errno);
    return nullptr;
  }
  state->inotify.Reset(fd);
  state->root_wd = state->AddWatch("");
  if (state->root_wd < 0) {
    err = FromErrno(errno);
    return nullptr;
  }
  err = 0;
  return std::make_unique<PosixDirectory>(std::move(state));
}

std::unique_ptr<ChangePort> ChangePort::Create(std::uint32_t& err) {
  auto port = std::make_unique<PosixPort>();
  if (!port->ok()) {
    err = FromErrno(errno);
    return nullptr;
  }
  err = 0;
  return port;
}

}  // namespace torvane::platform

#pragma once
// Asynchronous directory change reads and the completion port they complete
// on. A read fills a caller's buffer with change entries in the platform's
// layout (next-entry offset, action, name length in bytes, UTF-16 name
// relative to the directory, each entry 4-byte aligned) and completes as one
// packet on the port the directory is associated with. Commands can be
// posted to the same port. Windows: ReadDirectoryChangesW and an I/O
// completion port. POSIX: the same contract over inotify, with the subtree
// watched as directories appear and renames as old-name/new-name entries.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace torvane::platform {

inline constexpr std::size_t kChangeBufferSize = 4096;

// Change actions of the entries.
inline constexpr std::uint32_t kActionAdded = 1;
inline constexpr std::uint32_t kActionRemoved = 2;
inline constexpr std::uint32_t kActionModified = 3;
inline constexpr std::uint32_t kActionRenamedOldName = 4;
inline constexpr std::uint32_t kActionRenamedNewName = 5;

// Notify filter flags.
inline constexpr std::uint32_t kNotifyFileName = 0x1;
inline constexpr std::uint32_t kNotifyDirName = 0x2;
inline constexpr std::uint32_t kNotifyAttributes = 0x4;
inline constexpr std::uint32_t kNotifySize = 0x8;
inline constexpr std::uint32_t kNotifyLastWrite = 0x10;
inline constexpr std::uint32_t kNotifyLastAccess = 0x20;
inline constexpr std::uint32_t kNotifyCreation = 0x40;
inline constexpr std::uint32_t kNotifySecurity = 0x100;

// Error codes, the Windows values on every backend.
namespace error {
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidHandle = 6;
inline constexpr std::uint32_t kOutOfMemory = 14;
inline constexpr std::uint32_t kGenFailure = 31;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kBadPathname = 161;
inline constexpr std::uint32_t kMaxThreadsReached = 164;
inline constexpr std::uint32_t kOperationAborted = 995;
inline constexpr std::uint32_t kNotifyEnumDir = 1022;
}  // namespace error

// Whether `path` (system form, ANSI code page) names an existing directory.
bool IsDirectoryPath(std::string_view path);

// A directory opened for change reads. At most one read is outstanding; the
// buffer given to Read must stay valid until that read's packet has been
// taken from the port. All calls come from one thread at a time.
class ChangeDirectory {
 public:
  // Opens `path` for listing (sharing read and write, not delete). Null and
  // the platform's error in `error` on failure.
  static std::unique_ptr<ChangeDirectory> Open(std::string_view path, std::uint32_t& error);

  virtual ~ChangeDirectory() = default;
  // Starts one read into buffer[0, size). 0 when accepted; then its
  // completion arrives at the port with the directory's key: `ok` with the
  // bytes written (0 bytes: more changes than fit, the entries are lost), or
  // not `ok` with an error. Otherwise the platform's error, and no packet.
  virtual std::uint32_t Read(std::byte* buffer, std::size_t size, bool subtree,
                             std::uint32_t filter) = 0;
  // Closes the directory; an outstanding read completes with an error.
  virtual void Close() = 0;
  virtual bool closed() const = 0;
};

struct PortPacket {
  bool dequeued = false;  // false: the wait itself failed, nothing was taken
  bool ok = false;        // the read succeeded (posted packets are always ok)
  std::uintptr_t key = 0;
  std::uint32_t bytes = 0;
  std::uint32_t error = 0;  // when a packet was taken but is not ok
};

// A completion port shared by any number of directories.
class ChangePort {
 public:
  static std::unique_ptr<ChangePort> Create(std::uint32_t& error);

  virtual ~ChangePort() = default;
  // Routes the completions of `dir` to this port with `key`. 0 or an error.
  virtual std::uint32_t Associate(ChangeDirectory& dir, std::uintptr_t key) = 0;
  // Queues a packet of our own. False when the platform refused it.
  virtual bool Post(std::uintptr_t key, std::uint32_t bytes) = 0;
  // Waits without limit for the next packet.
  virtual PortPacket Wait() = 0;
};

}  // namespace torvane::platform

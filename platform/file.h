#pragma once
// Plain files named by byte-string paths (the ANSI code page on Windows),
// with the open modes the stores rely on: a shared read-only open of an
// existing file, and an exclusive read-write open that creates the file.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace torvane::platform {

class File {
 public:
  enum class Mode {
    kReadShared,       // existing file only, read; others may read and write
    kReadWriteAlways,  // created when missing, read and write; not shared
    kCreateNew,        // created here and now, read and write; not shared;
                       // fails when anything at all is under the name
  };

  // The result of one read or write call: whether the call succeeded and
  // how many bytes it moved.
  struct Io {
    bool ok = false;
    std::size_t bytes = 0;
  };

  // Empty when the file cannot be opened in that mode. Only a regular file
  // is opened: a link (a reparse point on Windows) planted under the name is
  // not followed, and a FIFO or device is refused without waiting on it.
  // Opened for writing, the file must also have no other name: a hard link
  // planted under the name would have the write land in another file.
  static std::optional<File> Open(const std::string& path, Mode mode);

  File(File&&) noexcept;
  File& operator=(File&&) noexcept;
  ~File();

  std::optional<std::uint64_t> Size() const;
  // One read of up to size bytes at offset (fewer at the end of the file).
  Io ReadAt(std::uint64_t offset, char* out, std::size_t size);
  // Writes all of data at offset unless the platform fails part way.
  Io WriteAt(std::uint64_t offset, std::string_view data);
  // Sets the end of the file at size.
  bool Truncate(std::uint64_t size);
  // Hands everything written so far to the storage device.
  bool Sync();

  struct Handle;

 private:
  explicit File(std::unique_ptr<Handle> handle);
  std::unique_ptr<Handle> handle_;
};

bool FileExists(const std::string& path);
// What sits under the name, if it is not a file the library may write:
// something other than a regular file (a link or other reparse point, a
// FIFO, a device, a folder), or a regular file with more than one name (a
// hard link). Looks at the name itself, never where a link leads.
enum class Planted { kNothing, kNotARegularFile, kSeveralNames };
Planted WhatIsPlanted(const std::string& path);
inline bool PlantedAt(const std::string& path) { return WhatIsPlanted(path) != Planted::kNothing; }
// Deletes a file; false when it could not be deleted (or did not exist).
bool RemoveFile(const std::string& path);
// Renames a file; fails, changing nothing, when `to` already exists.
bool RenameFile(const std::string& from, const std::string& to);

// A seam for tests: an observer installed here is told of every write,
// truncation and sync through File and of every RemoveFile before it
// happens, and may fail it as a full or failing disk would (return false).
// Without one each of these calls costs one atomic load. Install it while no
// other thread writes files.
enum class FileOp { kWrite, kTruncate, kSync, kRemove };
using FileOpObserver = bool (*)(FileOp op, const std::string& path);
void SetFileOpObserver(FileOpObserver observer);
// Whether the call may go ahead (true without an observer).
bool FileOpAllowed(FileOp op, const std::string& path);

}  // namespace torvane::platform

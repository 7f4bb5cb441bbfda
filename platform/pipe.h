#pragma once
// An anonymous pipe that a library in this process opens by path, as it
// would open a file: the reference host feeds the library's scripted UI a
// live script through one and reads its transcript through another.
// POSIX only ("/dev/fd/N"); on Windows Open fails.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace torvane::platform {

class Pipe {
 public:
  static std::unique_ptr<Pipe> Open(std::string* error);
  virtual ~Pipe() = default;
  // Paths under which each end can be opened by name.
  virtual std::string ReaderPath() const = 0;
  virtual std::string WriterPath() const = 0;
  // Writes all of `bytes` to the pipe; false once the writer is closed or
  // the reader has gone.
  virtual bool Write(std::string_view bytes) = 0;
  virtual void CloseWriter() = 0;
  // The next line from the reader end (without its line feed); nullopt at the
  // end, once every writer has closed.
  virtual std::optional<std::string> ReadLine() = 0;
};

}  // namespace torvane::platform

#pragma once
// Where `torvane-host config` says each value comes from: whether each of
// the suite's files is there under the name the suite writes, whether each
// key is in it (else the value is the default), names whose case differs
// from the suite's, and text that is not GBK. The tool's own reading, for
// people: the values themselves are read by the library's readers.
#include <optional>
#include <string>
#include <vector>

namespace torvane::host {

struct FileOrigin {
  std::string path;       // where the library reads the file
  bool found = false;     // the library reads a file there
  bool planted = false;   // something else is there (a link, folder or FIFO): refused
  std::string otherName;  // a file in the folder by that name in another case
};
FileOrigin LocateFile(const std::string& directory, const char* name);

struct KeyOrigin {
  bool present = false;     // the library reads the key's value from the file
  std::string writtenKey;   // the key as the file spells it, when present
  std::string writtenSection;
};
// `file` is the file's bytes (at most a few megabytes are read).
KeyOrigin LocateKey(const std::string& file, const char* section, const char* key);

// The file's bytes; empty when it cannot be read.
std::string ReadConfigFile(const std::string& path);

// The file begins with a UTF-8 byte order mark (an editor saved it as
// UTF-8): its first line, usually the section, is then not the section the
// Linux build looks for.
bool StartsWithUtf8Bom(const std::string& file);

// Notes on a text value's encoding: empty when it reads as GBK text.
std::optional<std::string> EncodingNote(const std::string& value);

}  // namespace torvane::host

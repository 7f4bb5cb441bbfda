// torvane-host config: what the library reads from the suite's files, as it
// reads it, and where each value comes from. Values are printed as
// tools/common/text_output.h says, exactly as the library reads them, one
// "FILE KEY=VALUE" line each. Before a file's values a "FILE: ..." line says
// whether it was found and where; indented notes follow the value they are
// about: the default because the key is missing, names whose case differs
// from the suite's, text that is not GBK.
#include <cstdio>
#include <string>

#include "config/config.h"
#include "config/host_directory.h"
#include "platform/host_dir.h"
#include "platform/profile.h"
#include "tools/host/commands.h"
#include "tools/host/config_origin.h"
#include "tools/host/output.h"

namespace torvane::host {
namespace {

void Note(const std::string& text) { PrintLine("  " + text); }

struct File {
  const char* name;
  FileOrigin origin;
  std::string bytes;
  bool sectionNoted = false;
};

File Locate(const std::string& directory, const char* name) {
  File f{name, LocateFile(directory, name), {}};
  const std::string path = PathToAnsi(f.origin.path);
  if (f.origin.found) {
    f.bytes = ReadConfigFile(f.origin.path);
    PrintLine(std::string(name) + ": found, " + path);
    if (!f.origin.otherName.empty())
      PrintLine(std::string(name) + ": named " + PathToAnsi(f.origin.otherName) + " in the folder; the suite writes " +
           name);
    if (StartsWithUtf8Bom(f.bytes))
      PrintLine(std::string(name) + ": starts with a UTF-8 byte order mark (saved as UTF-8?); the suite's files are " +
                "GBK without one");
  } else if (f.origin.planted) {
    PrintLine(std::string(name) + ": " + path + " is not a plain file (a link, folder or pipe) and is not read: " +
              "every value of " + name + " is the default");
  } else if (!f.origin.otherName.empty()) {
    PrintLine(std::string(name) + ": not found at " + path + "; the folder has " + PathToAnsi(f.origin.otherName) +
         ", whose name differs in case and is not read here: every value of " + name + " is the default");
  } else {
    PrintLine(std::string(name) + ": not found at " + path + ": every value of " + name + " is the default");
  }
  return f;
}

// The value line as today, then what is to be said about it.
void Line(File& file, const char* key, const std::string& value, bool text) {
  PrintLine(std::string(file.name) + " " + key + "=" + value);
  if (!file.origin.found) return;  // said once for the whole file
  // A marker no value holds: the read gives it back only when the key is missing.
  const std::string missing = "\x01missing";
  const bool present =
      platform::ProfileString(config::kSection, key, missing, config::kTextLimit, file.origin.path) != missing;
  if (!present) {
    Note(std::string("default: no ") + key + " in [" + config::kSection + "]");
    return;
  }
  const KeyOrigin origin = LocateKey(file.bytes, config::kSection, key);
  if (!file.sectionNoted && !origin.writtenSection.empty() && origin.writtenSection != config::kSection) {
    Note(std::string(file.name) + ": section written [" + origin.writtenSection + "]; the suite writes [" +
         config::kSection + "]");
    file.sectionNoted = true;
  }
  if (!origin.writtenKey.empty() && origin.writtenKey != key)
    Note("key written " + origin.writtenKey + "; the suite writes " + key);
  if (text) {
    if (const auto note = EncodingNote(value)) Note(*note);
  }
}

}  // namespace

int RunConfig(const Args& args) {
  if (args.size() == 2 && args[0] == "--dir") {
    std::string dir = args[1];
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += platform::kPathSeparator;
    config::SetHostDirectoryOverride(dir);
  } else if (!args.empty()) {
    std::fprintf(stderr, "usage: torvane-host config [--dir DIR]\n");
    return 2;
  }
  const std::string directory = config::HostDirectory();
  PrintLine("HostDirectory=" + PathToAnsi(directory));
  File policy = Locate(directory, config::kPolicyFile);
  Line(policy, "UfileAudit", std::to_string(config::ReadUfileAudit()), false);
  Line(policy, "User", config::ReadUser(), true);
  Line(policy, "GenericUDisk", std::to_string(config::ReadGenericUDisk()), false);
  File identity = Locate(directory, config::kIdentityFile);
  Line(identity, "General", std::to_string(config::ReadGeneral()), false);
  const auto ids = config::ReadUnitAndFieldId();
  Line(identity, "UNITID", ids.unit, true);
  Line(identity, "FIELDID", ids.field, true);
  Line(identity, "UID", config::ReadUid(), true);
  File registration = Locate(directory, config::kRegistrationFile);
  Line(registration, "reg", config::ReadReg(), true);
  Line(registration, "WebAddress", config::ReadWebAddress(), true);
  return 0;
}

}  // namespace torvane::host

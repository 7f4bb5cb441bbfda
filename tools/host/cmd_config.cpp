// torvane-host config: what the library reads from the suite's files, as it
// reads it. Values are printed as tools/common/text_output.h says.
#include <cstdio>
#include <string>

#include "config/config.h"
#include "config/host_directory.h"
#include "platform/host_dir.h"
#include "tools/host/output.h"
#include "tools/host/commands.h"

namespace torvane::host {
namespace {

void Line(const char* file, const char* key, const std::string& value) {
  PrintLine(std::string(file) + " " + key + "=" + value);
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
  PrintLine("HostDirectory=" + PathToAnsi(config::HostDirectory()));
  Line(config::kPolicyFile, "UfileAudit", std::to_string(config::ReadUfileAudit()));
  Line(config::kPolicyFile, "User", config::ReadUser());
  Line(config::kPolicyFile, "GenericUDisk", std::to_string(config::ReadGenericUDisk()));
  Line(config::kIdentityFile, "General", std::to_string(config::ReadGeneral()));
  const auto ids = config::ReadUnitAndFieldId();
  Line(config::kIdentityFile, "UNITID", ids.unit);
  Line(config::kIdentityFile, "FIELDID", ids.field);
  Line(config::kIdentityFile, "UID", config::ReadUid());
  Line(config::kRegistrationFile, "reg", config::ReadReg());
  Line(config::kRegistrationFile, "WebAddress", config::ReadWebAddress());
  return 0;
}

}  // namespace torvane::host

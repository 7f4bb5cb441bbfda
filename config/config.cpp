#include "config/config.h"

#include "config/host_directory.h"
#include "platform/profile.h"
#include "report/planted_file.h"

namespace torvane::config {
namespace {

std::string PathOf(const char* file) { return HostDirectory() + file; }

// A link, FIFO or folder planted under a configuration file's name is not
// read (the platform's profile reads would follow a link or wait on a FIFO):
// its keys read as missing.
bool Refused(const std::string& path) { return report::RefusePlanted("Configuration file", path); }

std::int32_t ReadInt(const char* file, const char* key) {
  const std::string path = PathOf(file);
  return Refused(path) ? 0 : platform::ProfileInt(kSection, key, 0, path);
}

std::string ReadText(const std::string& path, const char* key, const char* fallback) {
  return Refused(path) ? fallback : platform::ProfileString(kSection, key, fallback, kTextLimit, path);
}

}  // namespace

std::int32_t ReadUfileAudit() { return ReadInt(kPolicyFile, "UfileAudit"); }
std::int32_t ReadGenericUDisk() { return ReadInt(kPolicyFile, "GenericUDisk"); }
std::int32_t ReadGeneral() { return ReadInt(kIdentityFile, "General"); }

std::string ReadUser() { return ReadText(PathOf(kPolicyFile), "User", ""); }

UnitAndField ReadUnitAndFieldId() {
  const std::string path = PathOf(kIdentityFile);
  UnitAndField ids;
  ids.unit = ReadText(path, "UNITID", "");
  ids.field = ReadText(path, "FIELDID", "");
  return ids;
}

std::string ReadUid() { return ReadText(PathOf(kIdentityFile), "UID", ""); }
std::string ReadReg() { return ReadText(PathOf(kRegistrationFile), "reg", "0"); }
std::string ReadWebAddress() { return ReadText(PathOf(kRegistrationFile), "WebAddress", ""); }
std::string ReadWebCertPin() { return ReadText(PathOf(kRegistrationFile), "WebCertPin", ""); }

}  // namespace torvane::config

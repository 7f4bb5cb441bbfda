#pragma once
// The suite's settings, read afresh from their files at every call. A
// missing file, section or key gives the default; nothing is cached and no
// reader reports an error.
#include <cstdint>
#include <string>

namespace torvane::config {

inline constexpr char kPolicyFile[] = "KOLMERA.cfg";
inline constexpr char kIdentityFile[] = "id.cfg";
inline constexpr char kRegistrationFile[] = "kolMera2.ini";
inline constexpr char kSection[] = "KOLMERA";

// Text values are read into a 260-byte buffer with size limit 259: at most
// 258 bytes of a value are taken, cut on a character boundary.
inline constexpr std::size_t kTextLimit = 259;

std::int32_t ReadUfileAudit();    // KOLMERA.cfg UfileAudit, default 0
std::int32_t ReadGenericUDisk();  // KOLMERA.cfg GenericUDisk, default 0
std::string ReadUser();           // KOLMERA.cfg User, default ""
std::int32_t ReadGeneral();       // id.cfg General, default 0

struct UnitAndField {
  std::string unit;   // id.cfg UNITID, default ""
  std::string field;  // id.cfg FIELDID, default ""
};
UnitAndField ReadUnitAndFieldId();

std::string ReadUid();         // id.cfg UID, default ""
std::string ReadReg();         // kolMera2.ini reg, default "0"
std::string ReadWebAddress();  // kolMera2.ini WebAddress, default ""
// kolMera2.ini WebCertPin, default "": for an https WebAddress, the SHA-256
// (hex) of the server certificate's public key, trusted instead of the
// machine's roots.
std::string ReadWebCertPin();

}  // namespace torvane::config

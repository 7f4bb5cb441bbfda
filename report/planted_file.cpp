#include "report/planted_file.h"

#include "platform/file.h"
#include "report/operation_log.h"

namespace torvane::report {

bool RefusePlanted(const char* what, const std::string& path) {
  if (!platform::PlantedAt(path)) return false;
  WriteOperationLog(std::string("Error:") + what + " refused, not a regular file: " + path + "\n");
  return true;
}

}  // namespace torvane::report

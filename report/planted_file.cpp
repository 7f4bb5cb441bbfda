#include "report/planted_file.h"

#include "platform/file.h"
#include "report/operation_log.h"

namespace torvane::report {

bool RefusePlanted(const char* what, const std::string& path) {
  const platform::Planted planted = platform::WhatIsPlanted(path);
  if (planted == platform::Planted::kNothing) return false;
  const char* why = planted == platform::Planted::kSeveralNames ? " refused, more than one link: "
                                                                : " refused, not a regular file: ";
  WriteOperationLog(std::string("Error:") + what + why + path + "\n");
  return true;
}

}  // namespace torvane::report

#pragma once
// The DeduRazivor service contract as this library knows it: its fifteen
// rpc/encoded operations, their parameters, and the service namespace.
#include <cstddef>
#include <span>

#include "soap/operation_descriptor.h"

// The management server's address in the build-time service URL, which is
// the operation namespace on the wire. Set it with
// -DTORVANE_SERVICE_HOST=\"host\" to match the deployed server.
#ifndef TORVANE_SERVICE_HOST
#define TORVANE_SERVICE_HOST "127.0.0.1"
#endif

namespace torvane::soap {

inline constexpr char kServicePath[] = "/WebDeduRazivor/services/DeduRazivor";
inline constexpr char kServiceUrl[] =
    "http://" TORVANE_SERVICE_HOST ":8080/WebDeduRazivor/services/DeduRazivor";
inline constexpr char16_t kServiceUrlWide[] =
    u"http://" TORVANE_SERVICE_HOST ":8080/WebDeduRazivor/services/DeduRazivor";

// Index of each operation in the table.
enum DeduRazivorOperation : std::size_t {
  kGetPolicyFileAuditControl = 0,
  kAfterSelfClear,
  kGetPolicyTargetAddress,
  kGetPolicyDiskDriveControl,
  kAfterPolicyDownload,
  kRefreshOnlineState,
  kGetWebAlarmServerAddress,
  kGetPolicyDisableDevice,
  kGetPolicyCheckInterval,
  kGetDepartmentsWithIndent,
  kLogon,
  kGetComputerDomainInfo,
  kRegister,
  kGetServerAddress,
  kInfoWarn,
  kDeduRazivorOperationCount
};

std::span<const OperationDescriptor> DeduRazivorOperations();

// Places of the infoWarn values in its parameter record.
enum InfoWarnPlace : std::size_t {
  kInfoWarnGuid = 0,
  kInfoWarnWhen,
  kInfoWarnMemos,
  kInfoWarnLogType,
  kInfoWarnReturn,
};

}  // namespace torvane::soap

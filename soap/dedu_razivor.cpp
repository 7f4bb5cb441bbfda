#include "soap/dedu_razivor.h"

#include <array>

#include "soap/xsd_type.h"

namespace torvane::soap {
namespace {

// 8-bit and UTF-16 forms of one name literal.
#define TV_NAME(text) NameHash(text), text, u"" text

constexpr unsigned kCommon = kParamRpc | kParamEncoded;
constexpr unsigned kStringIn = kParamIn | kParamNullable | kCommon;
constexpr unsigned kStringInOut = kParamIn | kParamOut | kParamNullable | kCommon;
constexpr unsigned kLongIn = kParamIn | kCommon;
constexpr unsigned kReturn = kParamOut | kParamReturn | kCommon;

constexpr ParamDescriptor String(std::uint32_t h, std::string_view n, std::u16string_view w,
                                 unsigned flags, std::size_t place) {
  return {h, n, w, kXsdString, flags, place, {}, {}};
}
constexpr ParamDescriptor Long(std::uint32_t h, std::string_view n, std::u16string_view w,
                               unsigned flags, std::size_t place) {
  return {h, n, w, kXsdLong, flags, place, {}, {}};
}

constexpr std::array<ParamDescriptor, 3> kGetPolicyFileAuditControlParams = {{
    String(TV_NAME("guid"), kStringIn, 0),
    String(TV_NAME("fileAudit"), kStringInOut, 1),
    Long(TV_NAME("getPolicyFileAuditControlReturn"), kReturn, 2),
}};

constexpr std::array<ParamDescriptor, 2> kAfterSelfClearParams = {{
    String(TV_NAME("guid"), kStringIn, 0),
    Long(TV_NAME("afterSelfClearReturn"), kReturn, 1),
}};

constexpr std::array<ParamDescriptor, 4> kGetPolicyTargetAddressParams = {{
    String(TV_NAME("guid"), kStringIn, 0),
    String(TV_NAME("pingAddresses"), kStringInOut, 1),
    String(TV_NAME("httpAddresses"), kStringInOut, 2),
    Long(TV_NAME("getPolicyTargetAddressReturn"), kReturn, 3),
}};

constexpr std::array<ParamDescriptor, 6> kGetPolicyDiskDriveControlParams = {{
    String(TV_NAME("guid"), kStringIn, 0),
    String(TV_NAME("cdRecorderControl"), kStringInOut, 1),
    String(TV_NAME("floppyDriveControl"), kStringInOut, 2),
    String(TV_NAME("cdDriveControl"), kStringInOut, 3),
    String(TV_NAME("genericUDisk"), kStringInOut, 4),
    Long(TV_NAME("getPolicyDiskDriveControlReturn"), kReturn, 5),
}};

constexpr std::array<ParamDescriptor, 2> kAfterPolicyDownloadParams = {{
    String(TV_NAME("guid"), kStringIn, 0),
    Long(TV_NAME("afterPolicyDownloadReturn"), kReturn, 1),
}};

constexpr std::array<ParamDescriptor, 5> kRefreshOnlineStateParams = {{
    String(TV_NAME("guid"), kStringIn, 0),
    String(TV_NAME("policyDownloadFlag"), kStringInOut, 1),
    String(TV_NAME("selfCleanFlag"), kStringInOut, 2),
    String(TV_NAME("registerFlag"), kStringInOut, 3),
    Long(TV_NAME("refreshOnlineStateReturn"), kReturn, 4),
}};

constexpr std::array<ParamDescriptor, 2> kGetWebAlarmServerAddressParams = {{
    String(TV_NAME("serverAddress"), kStringInOut, 0),
    Long(TV_NAME("getWebAlarmServerAddressReturn"), kReturn, 1),
}};

constexpr std::array<ParamDescriptor, 3> kGetPolicyDisableDeviceParams = {{
    String(TV_NAME("guid"), kStringIn, 0),
    String(TV_NAME("policyDatas"), kStringInOut, 1),
    Long(TV_NAME("getPolicyDisableDeviceReturn"), kReturn, 2),
}};

constexpr std::array<ParamDescriptor, 3> kGetPolicyCheckIntervalParams = {{
    String(TV_NAME("guid"), kStringIn, 0),
    String(TV_NAME("policyDatas"), kStringInOut, 1),
    Long(TV_NAME("getPolicyCheckIntervalReturn"), kReturn, 2),
}};

constexpr std::array<ParamDescriptor, 2> kGetDepartmentsWithIndentParams = {{
    String(TV_NAME("departments"), kStringInOut, 0),
    Long(TV_NAME("getDepartmentsWithIndentReturn"), kReturn, 1),
}};

constexpr std::array<ParamDescriptor, 10> kLogonParams = {{
    String(TV_NAME("guid"), kStringIn, 0),
    String(TV_NAME("hostName"), kStringIn, 1),
    String(TV_NAME("ip"), kStringIn, 2),
    String(TV_NAME("mac"), kStringIn, 3),
    String(TV_NAME("data1"), kStringIn, 4),
    String(TV_NAME("data2"), kStringIn, 5),
    String(TV_NAME("data3"), kStringIn, 6),
    String(TV_NAME("winVer"), kStringIn, 7),
    String(TV_NAME("reRegister"), kStringInOut, 8),
    Long(TV_NAME("logonReturn"), kReturn, 9),
}};

constexpr std::array<ParamDescriptor, 8> kGetComputerDomainInfoParams = {{
    String(TV_NAME("guid"), kStringIn, 0),
    String(TV_NAME("depGuid"), kStringInOut, 1),
    String(TV_NAME("domainId"), kStringInOut, 2),
    String(TV_NAME("isGeneral"), kStringInOut, 3),
    String(TV_NAME("unit"), kStringInOut, 4),
    String(TV_NAME("department"), kStringInOut, 5),
    String(TV_NAME("person"), kStringInOut, 6),
    Long(TV_NAME("getComputerDomainInfoReturn"), kReturn, 7),
}};

constexpr std::array<ParamDescriptor, 13> kRegisterParams = {{
    String(TV_NAME("guid"), kStringIn, 0),
    String(TV_NAME("userName"), kStringIn, 1),
    String(TV_NAME("department"), kStringIn, 2),
    Long(TV_NAME("departmentId"), kLongIn, 3),
    String(TV_NAME("computerLocation"), kStringIn, 4),
    String(TV_NAME("tel"), kStringIn, 5),
    String(TV_NAME("email"), kStringIn, 6),
    String(TV_NAME("computerType"), kStringIn, 7),
    String(TV_NAME("computerSerial"), kStringIn, 8),
    String(TV_NAME("dep1"), kStringIn, 9),
    String(TV_NAME("dep2"), kStringIn, 10),
    String(TV_NAME("memo"), kStringIn, 11),
    Long(TV_NAME("registerReturn"), kReturn, 12),
}};

constexpr std::array<ParamDescriptor, 2> kGetServerAddressParams = {{
    String(TV_NAME("serverAddress"), kStringInOut, 0),
    Long(TV_NAME("getServerAddressReturn"), kReturn, 1),
}};

constexpr std::array<ParamDescriptor, 5> kInfoWarnParams = {{
    String(TV_NAME("guid"), kStringIn, 0),
    String(TV_NAME("when"), kStringIn, 1),
    String(TV_NAME("memos"), kStringIn, 2),
    Long(TV_NAME("logType"), kLongIn, 3),
    Long(TV_NAME("infoWarnReturn"), kReturn, 4),
}};

constexpr std::array<OperationDescriptor, kDeduRazivorOperationCount> kOperations = {{
    {TV_NAME("getPolicyFileAuditControl"), DescriptorKind::kOperation, kGetPolicyFileAuditControlParams, 3, 2, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("afterSelfClear"), DescriptorKind::kOperation, kAfterSelfClearParams, 2, 1, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("getPolicyTargetAddress"), DescriptorKind::kOperation, kGetPolicyTargetAddressParams, 4, 3, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("getPolicyDiskDriveControl"), DescriptorKind::kOperation, kGetPolicyDiskDriveControlParams, 6, 5, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("afterPolicyDownload"), DescriptorKind::kOperation, kAfterPolicyDownloadParams, 2, 1, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("refreshOnlineState"), DescriptorKind::kOperation, kRefreshOnlineStateParams, 5, 4, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("getWebAlarmServerAddress"), DescriptorKind::kOperation, kGetWebAlarmServerAddressParams, 2, 2, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("getPolicyDisableDevice"), DescriptorKind::kOperation, kGetPolicyDisableDeviceParams, 3, 2, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("getPolicyCheckInterval"), DescriptorKind::kOperation, kGetPolicyCheckIntervalParams, 3, 2, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("getDepartmentsWithIndent"), DescriptorKind::kOperation, kGetDepartmentsWithIndentParams, 2, 2, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("logon"), DescriptorKind::kOperation, kLogonParams, 10, 2, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("getComputerDomainInfo"), DescriptorKind::kOperation, kGetComputerDomainInfoParams, 8, 7, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("register"), DescriptorKind::kOperation, kRegisterParams, 13, 1, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("getServerAddress"), DescriptorKind::kOperation, kGetServerAddressParams, 2, 2, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
    {TV_NAME("infoWarn"), DescriptorKind::kOperation, kInfoWarnParams, 5, 1, kStyleRpc | kStyleEncoded,
     kServiceUrl, kServiceUrlWide, NameHash(kServiceUrl), {}},
}};
#undef TV_NAME


static_assert(NameHash("guid") == 0x003A7AA9u);
static_assert(kOperations[kInfoWarn].name == "infoWarn");

}  // namespace

std::span<const OperationDescriptor> DeduRazivorOperations() { return kOperations; }

}  // namespace torvane::soap

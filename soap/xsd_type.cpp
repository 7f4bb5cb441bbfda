#include "soap/xsd_type.h"

#include <array>

namespace torvane::soap {

std::string_view XsdTypeName(int type) {
  static constexpr std::array<std::string_view, kXsdTypeCount> kNames = {
      "string", "boolean", "float", "double", "decimal", "duration", "hexBinary",
      "base64Binary", "anyURI", "ID", "IDREF", "ENTITY", "NOTATION", "QName",
      "normalizedString", "token", "language", "IDREFS", "ENTITIES", "NMTOKEN",
      "NMTOKENS", "Name", "NCName", "integer", "nonPositiveInteger",
      "negativeInteger", "long", "int", "short", "byte", "nonNegativeInteger",
      "unsignedLong", "unsignedInt", "unsignedShort", "unsignedByte",
      "positiveInteger", "dateTime", "time", "date", "gMonth", "gYearMonth",
      "gYear", "gMonthDay", "gDay"};
  if (type < 0 || type >= kXsdTypeCount) return {};
  return kNames[static_cast<std::size_t>(type)];
}

}  // namespace torvane::soap

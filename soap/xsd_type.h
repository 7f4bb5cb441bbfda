#pragma once
// The XSD type numbers of parameter descriptors and their names; the same
// numbering serves the request writer and the response parser.
#include <string_view>

namespace torvane::soap {

enum XsdType : int {
  kXsdString = 0, kXsdBoolean, kXsdFloat, kXsdDouble, kXsdDecimal, kXsdDuration,
  kXsdHexBinary, kXsdBase64Binary, kXsdAnyUri, kXsdId, kXsdIdRef, kXsdEntity,
  kXsdNotation, kXsdQName, kXsdNormalizedString, kXsdToken, kXsdLanguage,
  kXsdIdRefs, kXsdEntities, kXsdNmToken, kXsdNmTokens, kXsdName, kXsdNcName,
  kXsdInteger, kXsdNonPositiveInteger, kXsdNegativeInteger, kXsdLong, kXsdInt,
  kXsdShort, kXsdByte, kXsdNonNegativeInteger, kXsdUnsignedLong, kXsdUnsignedInt,
  kXsdUnsignedShort, kXsdUnsignedByte, kXsdPositiveInteger, kXsdDateTime,
  kXsdTime, kXsdDate, kXsdGMonth, kXsdGYearMonth, kXsdGYear, kXsdGMonthDay,
  kXsdGDay,
  kXsdTypeCount
};

// The type's name ("string", "unsignedShort", ...); empty outside the table.
std::string_view XsdTypeName(int type);

}  // namespace torvane::soap

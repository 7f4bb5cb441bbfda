#pragma once
// The text forms of XSD values: escaping of strings for element content,
// and the conversions of the other types to and from text.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "soap/soap_value.h"

namespace torvane::soap {

// Length of `text` after escaping (see AppendEscaped).
std::size_t EscapedLength(std::u16string_view text);

// Appends `text` escaped for element content: "&", "<", ">" as entities,
// printable ASCII copied, a surrogate pair as "&#x%06X;", every other unit
// as "&#x%04X;". The result is printable ASCII.
void AppendEscaped(std::u16string_view text, std::string& out);

// "NaN", "INF", "-INF", "-0", plain decimals from 0.1 up, and below that
// the exponent form with three exponent digits ("1.e-002" for 0.01).
std::string FormatXsdDouble(double value);

// Two upper-case hexadecimal digits per byte.
std::string FormatHexBinary(std::span<const std::uint8_t> bytes);

// Base64 with "=" padding in lines of 76 characters, each complete line
// followed by "\r\n".
std::string FormatBase64(std::span<const std::uint8_t> bytes);

// Appends the text form of `value` as XSD type `type`. False when the type
// is outside the table or the value does not fit it.
bool AppendXsdText(int type, const SoapValue& value, std::string& out);

// Converts reply text into a value of XSD type `type`; false when the text
// is not a valid value of that type.
bool ParseXsdText(int type, std::u16string_view text, SoapValue& out);

// Types held as text or bytes, which may be null.
bool IsTextOrBinaryType(int type);

}  // namespace torvane::soap

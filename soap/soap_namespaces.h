#pragma once
// Namespace URIs of SOAP 1.1 messages.
namespace torvane::soap {

inline constexpr char16_t kSoapEnvelopeNs[] = u"http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr char16_t kSoapEncodingNs[] = u"http://schemas.xmlsoap.org/soap/encoding/";
inline constexpr char16_t kXsiNs[] = u"http://www.w3.org/2001/XMLSchema-instance";

}  // namespace torvane::soap

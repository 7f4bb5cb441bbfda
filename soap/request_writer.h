#pragma once
// Writes the SOAP 1.1 request envelope for one call of an rpc/encoded
// operation, from its descriptor table and the values of the call.
#include <string>

#include "soap/operation_descriptor.h"
#include "soap/soap_value.h"

namespace torvane::soap {

inline constexpr char kEnvelopeStart[] =
    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:soapenc=\"http://schemas.xmlsoap.org/soap/encoding/\">";
inline constexpr char kEncodedBodyStart[] =
    "<soap:Body soap:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">";

enum class WriteResult { kOk, kOutOfMemory, kBadValue };

// Appends the request to `out`. kBadValue: a type number outside the table,
// a value that does not fit its type, or a record too short for the table.
WriteResult WriteRequest(const OperationDescriptor& op, const ParamRecord& record, std::string& out);

}  // namespace torvane::soap

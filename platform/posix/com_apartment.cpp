#include "platform/com_apartment.h"

namespace torvane::platform {

ComApartment::ComApartment() = default;
ComApartment::~ComApartment() = default;

}  // namespace torvane::platform

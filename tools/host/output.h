#pragma once
// What the host prints: the support tools' common output (see
// tools/common/text_output.h), used unqualified by the host's commands.
#include "tools/common/text_output.h"

namespace torvane::host {

using tools::ArgToAnsi;
using tools::PathToAnsi;
using tools::PrintLine;
using tools::SetRawOutput;

}  // namespace torvane::host

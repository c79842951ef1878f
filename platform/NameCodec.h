#pragma once
// The name codec lives in the core; the platform layer uses it under its own names.
#include "core/NameCodec.h"

namespace corvane::platform {

using core::BaseName;
using core::DecodeName;
using core::EncodeName;
using core::HasEscapedBytes;
using core::ParentOf;
using core::ReadableName;

} // namespace corvane::platform

// Equality down to the bits, for remembering results of pure functions of values: Value's ==
// holds 0.0 and -0.0 (and equal dates of either sign) equal, but they are written differently.
// Shared containers are compared by address first, so a value asked about again costs little.
#pragma once

#include "platform/plist/value.h"

namespace qv::pl::internal {

bool identical(const Value& a, const Value& b);
bool identical(const Dict& a, const Dict& b);

}  // namespace qv::pl::internal

// The call-state hook on IMAVCallManager: after the call manager's own post, a call that
// starts (old state 0, new 1 or 2, local post) stops the running call reminder but leaves its
// icon; a call that ends unanswered (1 -> 0, local post) starts the call reminder again one
// second later on the main queue, when the alert gate allows. On CoreFoundation 1348.0 to
// 1348.22 (iOS 10.0 to 10.2) it only calls through. Main thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/objc/runtime.h"

namespace qv::core {
class Library;
}

namespace qv::appsignals {

inline constexpr double kCallStateQuietFrom = 1348.0;  // both ends included
inline constexpr double kCallStateQuietTo = 1348.22;

// Whether the call-state hook only calls through on this CoreFoundation version.
constexpr bool callStateHookQuiet(double coreFoundationVersion) {
  return coreFoundationVersion >= kCallStateQuietFrom && coreFoundationVersion <= kCallStateQuietTo;
}

// The replacement of IMAVCallManager _postStateChangeNamed:fromState:toState:postType:type:.
void callStateChangedHook(core::Library& library,
                          const objc::Slot<void(std::string, std::int64_t, std::int64_t, bool, std::int64_t)>& previous,
                          objc::Object* self, objc::Sel sel, std::string name, std::int64_t fromState,
                          std::int64_t toState, bool postType, std::int64_t type);

}  // namespace qv::appsignals

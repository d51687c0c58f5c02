// The torch blink: five cycles of 0.2 s on and 0.5 s off (3.5 s in all), run on a new serial
// queue "com.tarnwick.serverDelay" per request so it never sleeps on the main thread. One
// sequence at a time: a blink requested while another runs is dropped (the busy flag is tested
// and set atomically). A cycle whose configuration lock fails changes nothing but keeps its
// timing; the busy flag is always cleared when the blink ends. The main queue releases each
// request's queue after its blink. Request on the main thread.
#pragma once

#include <string_view>

#include "platform/dispatch/scheduler.h"

namespace qv::core {
class Library;
}

namespace qv::alerts {

inline constexpr std::string_view kTorchQueueLabel = "com.tarnwick.serverDelay";
inline constexpr std::string_view kMediaTypeVideo = "vide";  // AVMediaTypeVideo
inline constexpr int kBlinkCycles = 5;
inline constexpr dispatch::Duration kTorchOnFor{200'000'000};
inline constexpr dispatch::Duration kTorchOffFor{500'000'000};

// Starts a blink sequence on a queue of its own and returns at once.
void requestTorchBlink(core::Library& library);

}  // namespace qv::alerts

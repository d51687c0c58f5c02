// The torch blink: five cycles of 0.2 s on, 0.5 s off (3.5 s), on a new serial queue per request
// so it never sleeps on the main thread, which releases the queue afterwards. One sequence at a
// time: the busy flag is tested and set atomically and always cleared at the end; a request
// meanwhile is dropped. A cycle whose configuration lock fails changes nothing but keeps its time.
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

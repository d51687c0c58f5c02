// Reminders of the apps the user lists, keyed by bundle identifier: the timer class that carries
// the app (OtherTimerTest), their start and clear operations on MissedHelper, and the badge check
// that follows every timer fire (count, re-arm, or end when the app's badge is gone). Main thread.
//   startOtherApp(lib, pl::Dict{{"id", "com.example.chat"}, {"identifier", "Chat"}}, "com.example.chat");
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/hooks.h"
#include "platform/plist/value.h"

namespace qv::core {

inline constexpr std::string_view kOtherTimerClass = "OtherTimerTest";
// The one listed app whose reminder never ends because its badge is gone.
inline constexpr std::string_view kBadgeExemptApp = "com.apple.mobilecal";

// Defines OtherTimerTest under PCSimpleTimer with its `identifier` method; once per load, and
// nothing in a process without PCSimpleTimer.
void defineOtherTimerClass(Library& library);

// LoadImTimer:test: — replaces the app's entry in otherTimerList with a new armed timer (the old
// one is dropped from the list, not invalidated) and makes it OtherTimer. `userInfo` holds "id"
// (the bundle identifier) and "identifier" (the display name); a user info without a string "id"
// is given `bundleId`, so every timer can be found and cleared by its app.
void startOtherApp(Library& library, const pl::Value& userInfo, const std::string& bundleId);

// clearOtherTimer: — invalidates OtherTimer when it is the app's, drops the app's list entries and
// hides the shared Other-app item whatever app it was shown for. Leaves activeOtherApps alone.
void clearOtherApp(Library& library, const std::string& bundleId);

// Whether otherTimerList holds an entry for the app (by its user info's "id").
bool hasListEntry(const Library& library, std::string_view bundleId);
// Whether a list entry of the app will still fire (an entry whose timer fired at the repeat
// limit stays listed, but its run has ended).
bool hasArmedListEntry(const Library& library, std::string_view app);
// The apps otherTimerList holds entries for, each once, in list order.
std::vector<std::string> appsWithListEntries(const Library& library);

// Shows the shared Other-app item when it is missing; the status bar's code, handed in by the
// hook table (assembly/) so that this file needs nothing above core/.
using ShowOtherAppItem = void (*)(Library& library);

// The badge check, the replacement of PCSimpleTimer _fireTimerFired: calls through (the fire's
// alerts), then acts on the otherTimerList entry that is this very timer: ends the app's reminder
// when its badge is gone, else shows the item and counts and re-arms. A fired timer not in the
// list gets its alerts and nothing more, so a stale timer of a cleared app can never start a
// second chain.
void badgeCheck(Library& library, const objc::Slot<void()>& previous, objc::Object* self, objc::Sel sel,
                ShowOtherAppItem showItem);

// The replacement of LSStatusBarItem initWithIdentifier:alignment:: initialises once, keeps the
// result and identifier in OtherAppsState, and returns that result.
objc::Id statusBarItemInitHook(Library& library, const objc::Slot<objc::Id(std::string, std::int64_t)>& previous,
                               objc::Object* self, objc::Sel sel, std::string identifier, std::int64_t alignment);

// LoadImTimer:test: and clearOtherTimer: on MissedHelper.
void registerOtherAppOperations(Library& library, objc::Class* missedHelper);

}  // namespace qv::core

// Scenarios: a situation a tester wants to replay, as data. A scenario names the device, the
// start time and time zone, the settings, the apps with their badges and names, the timed
// actions of the user and the network, and how long to run. Read from JSON (the format is
// in docs/scenarios.md); a bad scenario is an Error naming the file, the place and what was
// expected, and nothing of it runs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch/scheduler.h"
#include "platform/plist/value.h"
#include "platform/result.h"
#include "sim/world.h"

namespace qv::sim {

// A notification as the network or an app delivers it: either a preset that builds what the
// app really sends on the scenario's system range, or raw fields.
struct NotificationSpec {
  std::string preset;                 // e.g. "whatsapp-message"; empty for raw
  std::string app;                    // bundle identifier (the section id)
  std::string categoryIdentifier;     // raw, iOS 10
  std::optional<pl::Dict> remote;     // raw remote payload
  std::optional<pl::Dict> local;      // raw local payload (the local notification's userInfo)
  std::optional<pl::Data> localArchive;  // raw archived local notification, as given (base64 in JSON)
  std::optional<pl::Value> context;      // the whole context as given, of any type
  bool localFire = false;             // a local notification the app itself scheduled fires
  std::optional<std::int64_t> badge;  // the app's badge after it arrives (presets count up)
  std::string title;
  std::string message;
  std::string label;  // a name later actions use to refer to it
};

enum class ActionType {
  Notification,        // a notification arrives
  IncomingCall,        // the phone rings
  AnswerCall,          // the user answers the ringing call
  EndCall,             // the call ends (answered: hang up; ringing: unanswered, a missed call)
  OpenApp,             // the user opens an app from the home screen
  LeaveApp,            // the user goes back to the home screen
  ReadMessages,        // the user reads messages in Messages (unread count falls)
  SetBadge,            // an app's badge changes
  RemoveNotification,  // swiped away from the lock screen / cleared from the notification centre
  ActOnNotification,   // acted on from the lock screen or notification centre
  TapBanner,           // taps the banner on screen
  Lock,                // presses the lock button
  Unlock,              // unlocks
  AutoLock,            // the auto-lock timer fires
  QuietMode,           // do not disturb on or off
  Settings,            // the settings pane writes keys and posts the change notification
  SettingsFile,        // an outside tool rewrites the settings file (no notification)
  Respring,            // the home screen restarts
  Note,                // a line of commentary on the timeline
};

const char* actionName(ActionType t);

struct Action {
  dispatch::Duration at{};  // from the scenario's start
  std::string when;         // "at" as written, for messages
  ActionType type = ActionType::Note;
  std::string place;  // "actions[3]", for messages
  NotificationSpec notification;
  std::string app;         // OpenApp, LeaveApp, SetBadge; the caller for calls
  std::string target;      // the label of an earlier notification ("" = the latest)
  std::string origin;      // ActOnNotification: "lock-screen" or "notification-centre"
  std::int64_t count = 0;  // ReadMessages: how many (below 0: all); SetBadge: the value
  bool countGiven = false;  // ReadMessages: "count" was written
  bool on = false;         // QuietMode
  pl::Dict values;         // Settings, SettingsFile (with `settingsFile`: what the file holds)
  std::vector<std::string> removals;
  std::optional<pl::Data> settingsFile;  // SettingsFile: a whole file put in place as it is
  std::string settingsFileName;          // ... as the scenario names it
  std::string settingsFilePath;          // ... and where it was read, absolute
  std::string text;  // Note
};

struct AppSpec {
  std::string bundleId;
  std::string name;
  std::int64_t badge = 0;
};

// A local time the scenario gives that the clocks skip or show twice, and how it was taken:
// "02:10 does not exist on 2026-03-29: taken as 03:10". Played as a note at `at`.
struct ClockNote {
  dispatch::Duration at{};
  std::string place;  // "actions[3].at", "run", "start"
  std::string text;
};

// The longest a scenario may run (`run`, `--days`): longer spans are mistakes, and would leave
// the virtual clock's range.
inline constexpr int kLongestRunDays = 400;

struct Scenario {
  std::string name;
  std::string description;
  std::string sourceFile;
  WorldConfig world;
  // Where the settings came from when given as a file: "my-phone.plist (binary)"; "" otherwise.
  std::string settingsSource;
  std::string settingsPath;  // ... and where it was read, absolute
  std::vector<AppSpec> apps;
  std::vector<Action> actions;  // in time order (stable for equal times)
  dispatch::Duration duration{};
  std::uint64_t seed = 1;
  // What the scenario asks that the library or the simulator will read otherwise than written,
  // "FILE: PLACE: what happens instead": the settings' first, then the actions'. Nothing of it
  // changes the run.
  std::vector<std::string> warnings;
  // The warnings of the settings' keys and values when the scenario's own release reads no
  // settings (before 8.0): nothing there reads them, but --matrix may play releases that do.
  std::vector<std::string> unreadSettingsWarnings;
  // Local times that fall where the clocks change, in time order.
  std::vector<ClockNote> clockNotes;
};

// Parses a scenario; `fileName` is used in messages only.
Result<Scenario> parseScenario(std::string_view text, std::string_view fileName);
// Reads and parses a scenario file; a missing file, a directory and a file that cannot be read
// each have their own message.
Result<Scenario> loadScenarioFile(const std::string& path);
// Reads a scenario from an open stream (standard input), named `name` in messages.
Result<Scenario> loadScenarioStream(std::FILE* in, std::string_view name);

// The built-in default scenario: a morning on an iPhone.
std::string_view defaultScenarioText();

// A time in a scenario as an offset from its start: "+90s", "+1h30m", "+0:05:00", a local time
// on the start day ("07:31", "07:31:15") or a full local date and time ("2026-12-07T07:31").
Result<dispatch::Duration> offsetFromStart(std::string_view text, const host::CalendarDate& start,
                                           const std::function<dispatch::Instant(const host::CalendarDate&)>& zone);
// The same for a scenario already read (its start and time zone).
Result<dispatch::Duration> offsetInScenario(const Scenario& scenario, std::string_view text);
// How such a time was taken when the clocks skip or repeat it ("02:20 does not exist on
// 2026-03-29: taken as 03:20"); empty for any other time.
std::string clockChangeInScenario(const Scenario& scenario, std::string_view text);

// Settings as a tester reads them: "showStatus on, smsInt 30, otherApplications [\"a.b\"]";
// removed keys read "key removed".
std::string describeSettings(const pl::Dict& values, const std::vector<std::string>& removals = {});

// Base64 (RFC 4648, padding optional, white space ignored); none for any other character.
std::optional<pl::Data> fromBase64(std::string_view text);
std::string toBase64(const pl::Data& bytes);

// "90s", "1h30m", "0:05:00" as a duration; none when the text is no duration.
std::optional<dispatch::Duration> parseDuration(std::string_view text);

}  // namespace qv::sim

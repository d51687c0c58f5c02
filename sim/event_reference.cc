#include "sim/event_reference.h"

#include <array>
#include <cassert>
#include <cctype>

#include <nlohmann/json.hpp>

namespace qv::sim {
namespace {

using T = FieldType;
using V = std::string_view;

// --- Values with a fixed set ---
constexpr V kStarts[] = {"new", "restart", "rearm"};
constexpr V kRunStarts[] = {"new", "restart"};
constexpr V kEndReasons[] = {"limit", "not-rearmed", "call-began", "badge-gone", "lost-at-respring"};
constexpr V kClearReasons[] = {"cleared"};
constexpr V kRunEndReasons[] = {"limit",           "not-rearmed", "call-began", "badge-gone",
                                "lost-at-respring", "cleared",     "restarted"};
constexpr V kDismissals[] = {"timeout", "tapped", "replaced", "locked", "restarted"};
constexpr V kLockHows[] = {"lock button", "auto-lock", "unlocked by the user", "home screen restarted"};
constexpr V kCheckResults[] = {"held", "broken"};

constexpr FieldDoc kCommon[] = {
    {"time", T::Text, true,
     "the instant in the device's local time with its UTC offset, to the millisecond (RFC 3339): "
     "`2026-10-25T02:30:00.000+01:00`; the repeated hour of a clock change reads apart by its offset"},
    {"offset_ms", T::Integer, true, "milliseconds since the scenario's start"},
    {"process", T::Text, true,
     "the process that recorded it (`SpringBoard`, an app's process, `imagent`, `cfprefsd`); for `action` "
     "events who acted: `User`, `Network`, `Device`, `Settings`, `Note`"},
    {"kind", T::Text, true, "the event kind (below)"},
    {"action", T::Integer, false,
     "the scenario action this event descends from, numbered as the `action` events number them; absent "
     "for what no action set going (the device's start)"},
};

constexpr FieldDoc kOfReminder[] = {
    {"category", T::Text, false,
     "the reminder it belongs to: `call`, `sms`, `mail`, `whatsapp-call`, `whatsapp-message`, "
     "`messenger-call`, `messenger-message`, `telegram-message`, `threema-message`, `viber-message`, "
     "`viber-call`, or `listed:` and the bundle identifier of a listed app"},
    {"alert", T::Integer, false,
     "the alert of that reminder that made it (as `reminder-fired` numbers them; absent for an alert numbered 0)"},
};

constexpr FieldDoc kCause[] = {
    {"action", T::Integer, true, "the action's number"},
    {"do", T::Text, true, "what the action was (its `do`)"},
    {"text", T::Text, true, "the action as the story tells it: `opens Phone`"},
};

// --- Each kind's own fields ---
constexpr FieldDoc kSound[] = {
    {"sound", T::Text, true, "the sound file's name in the Sounds folder"},
    {"length_ms", T::Integer, true, "its length, read from the file"},
};
constexpr FieldDoc kVibration[] = {{"pattern", T::Text, true, "the vibration pattern: `[true, 300, false, 300]`"}};
constexpr FieldDoc kFlash[] = {{"color", T::Text, true, "the flash's colour"}};
constexpr FieldDoc kSystemSound[] = {
    {"sound", T::Text, true, "which system sound: `shutter`"},
    {"id", T::Integer, true, "its system sound id"},
};
constexpr FieldDoc kBanner[] = {
    {"app", T::Text, true, "the bundle identifier it is shown for (its section)"},
    {"title", T::Text, true, "its title (`Quorvel` on a reminder's banner)"},
    {"subtitle", T::Text, true,
     "its subtitle, shown between title and message (often empty; a reminder's lock-screen re-post that the "
     "home screen shows as a banner carries its text here, with an empty message)"},
    {"message", T::Text, true, "its message"},
    {"contentX", T::Integer, true, "where its content starts, in points (a centred column on an iPad)"},
    {"contentWidth", T::Integer, true, "its content's width in points"},
};
constexpr FieldDoc kBannerDismissed[] = {
    {"app", T::Text, true, "the bundle identifier of the banner that left the screen"},
    {"reason", T::Text, true, "why it left", {}, kDismissals},
};
constexpr FieldDoc kNotification[] = {
    {"id", T::Text, true, "the notification's id (the bulletin id), as `lock-screen` lists it"},
    {"app", T::Text, true, "the bundle identifier of the app it is from (its section)"},
    {"title", T::Text, true, "its title"},
    {"subtitle", T::Text, true, "its subtitle (often empty)"},
    {"message", T::Text, true, "its message"},
};
constexpr FieldDoc kLockScreen[] = {
    {"notifications", T::TextList, true,
     "everything the lock screen lists now, top first: notification ids, and other items by their class "
     "(`card:` and its identifier for a card)"},
};
constexpr FieldDoc kIcon[] = {
    {"item", T::Text, true, "the status-bar item's identifier (`quorvel.QVSMS`; `com.apple.AppStore` is the item "
                            "all listed apps share)"},
    {"drawing", T::Text, true, "what the item draws: its image name, or its view and the image it shows"},
    {"category", T::Text, false, "the reminder whose own item it is (none for the shared item of listed apps)"},
};
constexpr FieldDoc kBadge[] = {
    {"app", T::Text, true, "the app's bundle identifier"},
    {"badge", T::Integer, true, "the number its icon now shows (0: none)"},
};
constexpr FieldDoc kLockState[] = {
    {"locked", T::Flag, true, "whether the device is now locked"},
    {"how", T::Text, true,
     "what locked or unlocked it; `home screen restarted`: a restart brought the home screen back locked (recorded "
     "only when it was unlocked before)",
     {}, kLockHows},
};
constexpr FieldDoc kDoNotDisturb[] = {{"on", T::Flag, true, "whether do not disturb is now on"}};
constexpr FieldDoc kFrontApp[] = {
    {"app", T::TextOrNull, true, "the bundle identifier of the app now in front; null: the home screen"},
};
constexpr FieldDoc kDarwin[] = {{"name", T::Text, true, "the Darwin notification's name"}};
constexpr FieldDoc kArmed[] = {
    {"category", T::Text, true, "the reminder"},
    {"interval", T::Integer, true, "seconds to its next alert"},
    {"start", T::Text, true,
     "`new`: it starts; `restart`: a new event replaces its armed timer (the alerts count from 1 again); "
     "`rearm`: it goes on after its own alert",
     {}, kStarts},
};
constexpr FieldDoc kFired[] = {
    {"category", T::Text, true, "the reminder"},
    {"alert", T::Integer, true,
     "the alert's number in this run of the reminder, from 1; 0: a listed app's timer that the lists had let go "
     "of (its app cleared, or started again) alerts once more, in no run: the summary counts it in "
     "`unlistedAlerts`, not in a run, and what it does carries no `alert`"},
    {"limit", T::IntegerOrNull, true,
     "the repeat limit it counts towards (1 for a count setting below 0, which acts as 1); null: none"},
    {"counted", T::Integer, false,
     "its place in the repeat count, where that is not `alert`: alerts made while no limit was set are not "
     "counted, so a limit set during a run counts from the next alert"},
};
constexpr FieldDoc kEnded[] = {
    {"category", T::Text, true, "the reminder; its status-bar icon stays until `reminder-cleared` or a restart of the home screen"},
    {"reason", T::Text, true,
     "`limit`: its repeat limit was reached; `not-rearmed`: its app's active flag was off at its alert (a clear, "
     "or the app's other reminder ended); `call-began`: a new call began; `badge-gone`: the listed app's badge "
     "is gone; `lost-at-respring`: the home screen restarted while it was still alerting (a run that had ended already "
     "ends once; the icon it left goes with an `icon-hidden`)",
     {}, kEndReasons},
    {"alert", T::Integer, false, "the alert at which it ended (limit, not-rearmed, badge-gone)"},
    {"cause", T::Object, false, "the scenario action that ended it (when no alert of its own did)", kCause},
};
constexpr FieldDoc kCleared[] = {
    {"category", T::Text, true, "the reminder"},
    {"reason", T::Text, true, "`cleared`: its timer and its status-bar icon are gone", {}, kClearReasons},
    {"running", T::Flag, true, "whether it was still alerting (false: it had ended and only its icon was left)"},
    {"cause", T::Object, false, "the scenario action that led to the clear (opening the app, a removal...)", kCause},
};
constexpr FieldDoc kAction[] = {
    {"do", T::Text, true, "what happens, as the scenario's `do` names it (`notification`, `open-app`, ...)"},
    {"text", T::Text, true, "the action as the story tells it; a second event of the same action, in parentheses "
                            "and from the same process, tells what came of it where it was refused or changed "
                            "nothing (`(no banner is on screen)`, `(cannot answer with no call)`)"},
    {"place", T::Text, false,
     "where the action is in the scenario file: `actions[3]`; on the note of a local time the clocks skip or "
     "repeat, where that time is written: `actions[3].at`, `start`, `run`, `--until`"},
    {"app", T::Text, false, "the app it concerns (the notification's app, the app opened or left)"},
    {"event", T::Text, false, "the notification's event (`whatsapp-message`)"},
};
constexpr FieldDoc kHost[] = {
    {"subject", T::Text, true, "what it is about: `call`, `messages`, `home screen`, an app's name"},
    {"detail", T::Text, false, "what happened, in words"},
};
constexpr FieldDoc kDecision[] = {
    {"subject", T::Text, true, "what was decided about: a category, an app, `alert gate`, `torch`"},
    {"detail", T::Text, false, "the decision and its reason, in words"},
};

// --- The summary ---
constexpr FieldDoc kRunEnd[] = {
    {"time", T::Text, true, "when (RFC 3339)"},
    {"reason", T::Text, true,
     "as `reminder-ended` and `reminder-cleared` give it; `restarted`: a new event started it again",
     {}, kRunEndReasons},
    {"alert", T::Integer, false, "the alert at which it ended"},
    {"cause", T::Object, false, "the scenario action that ended it", kCause},
};
constexpr FieldDoc kIconCleared[] = {
    {"time", T::Text, true, "when (RFC 3339)"},
    {"cause", T::Object, false, "the scenario action that led to the clear", kCause},
};
constexpr FieldDoc kRun[] = {
    {"started", T::Text, true, "when it started (RFC 3339)"},
    {"start", T::Text, true, "`new`, or `restart` when a new event replaced a running run", {}, kRunStarts},
    {"cause", T::Object, false, "the scenario action that started it", kCause},
    {"alerts", T::Integer, true, "how many alerts this run made"},
    {"first", T::Text, false, "its first alert (RFC 3339)"},
    {"last", T::Text, false, "its last alert (RFC 3339)"},
    {"ended", T::Object, false, "how it ended; absent when it was still running at the end", kRunEnd},
    {"iconCleared", T::Object, false, "when its status-bar icon was cleared after it had ended", kIconCleared},
};
constexpr FieldDoc kSummaryReminder[] = {
    {"category", T::Text, true, "the reminder (as in events)"},
    {"name", T::Text, true, "its name in the story: `WhatsApp message`, a listed app's display name"},
    {"runs", T::ObjectList, true, "every start of it, in order", kRun},
    {"unlistedAlerts", T::Integer, false,
     "alerts of its timers that the lists had let go of (`reminder-fired` with `alert` 0), which belong to no run"},
};
constexpr FieldDoc kCounts[] = {
    {"sounds", T::Integer, true, "reminder sounds played"},
    {"vibrations", T::Integer, true, "vibrations"},
    {"torchBlinks", T::Integer, true, "torch blink sequences (five blinks each)"},
    {"reminderBanners", T::Integer, true,
     "reminder banners shown: an alert's, and a lock-screen re-post shown as a banner because the phone was "
     "unlocked by the time it was published"},
    {"lockScreenReposts", T::Integer, true, "reminders re-posted to the lock screen"},
};
constexpr FieldDoc kCheck[] = {
    {"result", T::Text, true, "`held`: every invariant held; `broken`: one broke and the run stopped there", {},
     kCheckResults},
    {"checks", T::Integer, true, "how many checks ran"},
    {"runs", T::Integer, true, "reminder runs the checks judged"},
    {"fires", T::Integer, true, "reminder fires the checks judged"},
    {"clears", T::Integer, true, "clears the checks judged"},
    {"mustStart", T::Integer, true, "notifications or missed calls that had to start a reminder"},
    {"violation", T::Text, false, "the broken invariant, with its time"},
    {"replay", T::Text, false, "the command that replays a broken random run"},
};
constexpr FieldDoc kSummary[] = {
    {"kind", T::Text, true, "`summary`"},
    {"from", T::Text, true, "when the run started (RFC 3339)"},
    {"to", T::Text, true, "when it stopped (RFC 3339)"},
    {"ios", T::Text, true, "the release it played on, as the scenario's `device.ios` (`10.3`)"},
    {"device", T::Text, true, "`iPhone` or `iPad`, as the scenario's `device.kind`"},
    {"timeZone", T::Text, true, "the scenario's time zone (`UTC`, `Europe/Berlin`)"},
    {"seed", T::Integer, true, "the scenario's seed (with `--random`, the seed it was made from)"},
    {"reminders", T::ObjectList, true, "every reminder that started, in the order it first started", kSummaryReminder},
    {"counts", T::Object, true, "what all reminders did together", kCounts},
    {"check", T::Object, false, "what `--check` found (only with `--check`)", kCheck},
};

// --- The matrix (`--matrix --json`) ---
constexpr FieldDoc kMatrixReminder[] = {
    {"category", T::Text, true, "the reminder (as in events)"},
    {"name", T::Text, true, "its name in the story"},
};
constexpr FieldDoc kMatrixCell[] = {
    {"started", T::Flag, true, "whether the reminder started on this release and device"},
    {"runs", T::Integer, true, "how many times it started (as the summary's `runs` count them)"},
    {"alerts", T::Integer, true, "how many alerts its runs made"},
    {"effects", T::TextList, true,
     "what its alerts did: `sound`, `vibration`, `torch`, `flash` (screen flash), `banner`, `wake` (screen wake), "
     "`repost` (re-posted to the lock screen)"},
    {"ended", T::Text, false, "how its last run ended, as the summary's `ended.reason` gives it, or `running`"},
    {"text", T::Text, true, "the cell as the text table shows it"},
    {"differs", T::Flag, true, "whether it differs from the most common cell of its column"},
};
constexpr FieldDoc kMatrixRow[] = {
    {"ios", T::Text, true, "the release: `10.3`"},
    {"device", T::Text, true, "`iPhone` or `iPad`"},
    {"error", T::Text, false, "why the scenario could not run there (its cells are then empty)"},
    {"cells", T::ObjectList, true, "one per reminder, in the order of `reminders`", kMatrixCell},
};
constexpr FieldDoc kMatrix[] = {
    {"kind", T::Text, true, "`matrix`"},
    {"scenario", T::Text, true, "the scenario's name"},
    {"reminders", T::ObjectList, true, "the columns: every reminder that started on any release or device",
     kMatrixReminder},
    {"rows", T::ObjectList, true, "one per release and device, in release order", kMatrixRow},
    {"reasons", T::TextList, true, "why rows differ, where it is known: one line per group of differing rows"},
};

constexpr KindDoc kKinds[] = {
    {"sound", "a reminder sound plays", kSound, true},
    {"vibration", "the phone vibrates (0.3 s after the alert that asked)", kVibration, true},
    {"torch-on", "the torch lights; a blink sequence is five on/off cycles in 3.5 s", {}, true},
    {"torch-off", "the torch goes dark", {}, true},
    {"screen-flash", "the screen flashes (listed apps on an iPad)", kFlash, true},
    {"screen-wake", "the screen lights up", {}, true},
    {"system-sound", "a system sound plays (the shutter sound some screen flashes make)", kSystemSound, true},
    {"banner", "a banner comes on screen; it stays until `banner-dismissed`", kBanner, true},
    {"banner-dismissed", "the banner on screen leaves it", kBannerDismissed, true},
    {"lock-screen-bulletin", "a notification is listed on the lock screen (a reminder's re-post carries its category)",
     kNotification, true},
    {"lock-screen", "what the lock screen lists changed; the list as it is now", kLockScreen},
    {"icon-shown", "a status-bar item is shown, or what it draws changed", kIcon},
    {"icon-hidden", "a status-bar item is hidden", kIcon},
    {"notification-posted", "the home screen takes in a notification (a reminder's re-post carries its category)",
     kNotification, true},
    {"badge", "an app's icon badge changes", kBadge},
    {"lock-state",
     "the device locks or unlocks. It starts unlocked, or locked when the scenario says `\"locked\": true`; that "
     "state at the start has no event of its own",
     kLockState},
    {"do-not-disturb", "do not disturb is switched on or off", kDoNotDisturb},
    {"front-app", "the app in front changes", kFrontApp},
    {"darwin-post", "a Darwin notification is posted (a clear request, the settings change)", kDarwin},
    {"reminder-armed", "a reminder's timer is armed", kArmed},
    {"reminder-fired", "a reminder alerts; what the alert does follows with its `category` and `alert`", kFired},
    {"reminder-ended", "a reminder stops alerting", kEnded},
    {"reminder-cleared", "a reminder is cleared: its timer and its status-bar icon go", kCleared},
    {"action", "something the scenario does: the user, the network, the device", kAction},
    {"host", "another step of the simulated device: an app launched, a call, the home screen restarting", kHost},
    {"decision", "why something happened or did not (only with `--explain`)", kDecision},
    {"summary", "the last line: every reminder's runs and how each ended", kSummary},
    {"matrix", "the one line `--matrix --json` prints instead of events and a summary: per release and device, "
               "what each reminder did", kMatrix},
};
static_assert(std::size(kKinds) == timeline::kKindCount + 2,
              "one row per timeline kind, then the summary, then the matrix");

// --- Rendering ---

const char* typeName(FieldType t) {
  switch (t) {
    case T::Text: return "text";
    case T::Integer: return "integer";
    case T::Flag: return "true/false";
    case T::TextList: return "list of texts";
    case T::IntegerOrNull: return "integer or null";
    case T::TextOrNull: return "text or null";
    case T::Object: return "object";
    case T::ObjectList: return "list of objects";
    case T::ObjectMap: return "objects by name";
  }
  return "?";
}

std::string valuesNote(const FieldDoc& f) {
  if (f.values.empty()) return {};
  std::string out = " (one of:";
  for (V v : f.values) out += " `" + std::string(v) + "`";
  return out + ")";
}

void markdownFields(std::string& out, std::span<const FieldDoc> fields, const std::string& prefix) {
  for (const FieldDoc& f : fields) {
    out += "| `" + prefix + std::string(f.name) + "` | " + typeName(f.type) + " | " + (f.required ? "always" : "when it applies") +
           " | " + std::string(f.meaning) + valuesNote(f) + " |\n";
    if (!f.children.empty()) markdownFields(out, f.children, prefix + std::string(f.name) + (f.type == T::Object ? "." : "[]."));
  }
}

void textFields(std::string& out, std::span<const FieldDoc> fields, const std::string& indent) {
  for (const FieldDoc& f : fields) {
    std::string plain(f.meaning);
    std::erase(plain, '`');
    out += indent + std::string(f.name) + " (" + typeName(f.type) + (f.required ? "" : ", optional") + "): " + plain;
    std::string values = valuesNote(f);
    std::erase(values, '`');
    out += values + "\n";
    if (!f.children.empty()) textFields(out, f.children, indent + "  ");
  }
}

nlohmann::ordered_json schemaOf(const FieldDoc& f);

// An object with exactly these fields (no others), those marked so required.
nlohmann::ordered_json objectSchema(std::span<const FieldDoc> fields, std::span<const FieldDoc> more = {}) {
  nlohmann::ordered_json o;
  o["type"] = "object";
  nlohmann::ordered_json props = nlohmann::ordered_json::object();
  nlohmann::ordered_json required = nlohmann::ordered_json::array();
  for (std::span<const FieldDoc> group : {fields, more})
    for (const FieldDoc& f : group) {
      props[std::string(f.name)] = schemaOf(f);
      if (f.required) required.push_back(f.name);
    }
  o["properties"] = props;
  o["required"] = required;
  o["additionalProperties"] = false;
  return o;
}

nlohmann::ordered_json schemaOf(const FieldDoc& f) {
  nlohmann::ordered_json s;
  switch (f.type) {
    case T::Text: s["type"] = "string"; break;
    case T::Integer: s["type"] = "integer"; break;
    case T::Flag: s["type"] = "boolean"; break;
    case T::TextList: s = {{"type", "array"}, {"items", {{"type", "string"}}}}; break;
    case T::IntegerOrNull: s["type"] = {"integer", "null"}; break;
    case T::TextOrNull: s["type"] = {"string", "null"}; break;
    case T::Object: s = objectSchema(f.children); break;
    case T::ObjectList: s = {{"type", "array"}, {"items", objectSchema(f.children)}}; break;
    case T::ObjectMap: s = {{"type", "object"}, {"additionalProperties", objectSchema(f.children)}}; break;
  }
  if (!f.values.empty()) {
    s["enum"] = nlohmann::ordered_json::array();
    for (V v : f.values) s["enum"].push_back(v);
  }
  s["description"] = f.meaning;
  return s;
}

}  // namespace

std::span<const FieldDoc> commonFields() { return kCommon; }
std::span<const FieldDoc> reminderFields() { return kOfReminder; }
std::span<const KindDoc> eventKinds() { return kKinds; }

const KindDoc& kindDoc(timeline::Kind k) {
  const auto i = static_cast<std::size_t>(k);
  assert(i < timeline::kKindCount && kKinds[i].name == timeline::kindName(k));
  return kKinds[i];
}

const KindDoc& summaryDoc() { return kKinds[timeline::kKindCount]; }
const KindDoc& matrixDoc() { return kKinds[timeline::kKindCount + 1]; }

std::string kindsText() {
  std::string out = "Every line of --json output is one JSON object. Each event has:\n";
  textFields(out, kCommon, "  ");
  out += "An event of a reminder (marked [reminder] below) also has:\n";
  textFields(out, kOfReminder, "  ");
  for (const KindDoc& k : kKinds) {
    std::string meaning(k.meaning);
    std::erase(meaning, '`');
    out += "\n" + std::string(k.name) + (k.ofReminder ? " [reminder]" : "") + ": " + meaning + "\n";
    textFields(out, k.fields, "  ");
  }
  return out;
}

std::string kindsMarkdown() {
  std::string out =
      "# The JSON output\n\n"
      "<!-- Made from sim/event_reference.cc by `quorvel-sim --list-kinds --markdown`; "
      "tests/sim/event_reference_test.cc fails when they differ. -->\n\n"
      "`quorvel-sim --json` prints one JSON object per line: every event of the run in time order, then a "
      "`summary`; `--matrix --json` prints one `matrix` line instead. [events.schema.json](events.schema.json) "
      "is the JSON Schema every line meets.\n\n"
      "## Fields of every event\n\n| Field | Type | Present | Meaning |\n|---|---|---|---|\n";
  markdownFields(out, kCommon, "");
  out += "\nAn event of a reminder (marked *reminder* below) also has:\n\n| Field | Type | Present | Meaning |\n"
         "|---|---|---|---|\n";
  markdownFields(out, kOfReminder, "");
  out += "\n## Event kinds\n";
  for (const KindDoc& k : kKinds) {
    std::string meaning(k.meaning);
    meaning[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(meaning[0])));
    out += "\n### `" + std::string(k.name) + "`" + (k.ofReminder ? " (reminder)" : "") + "\n\n" + meaning + ".\n";
    if (k.fields.empty()) continue;
    out += "\n| Field | Type | Present | Meaning |\n|---|---|---|---|\n";
    markdownFields(out, k.fields, "");
  }
  return out;
}

std::string eventsSchema() {
  nlohmann::ordered_json schema;
  schema["$schema"] = "https://json-schema.org/draft/2020-12/schema";
  schema["$id"] = "https://quorvel.invalid/events.schema.json";
  schema["title"] = "quorvel-sim --json: one line";
  schema["description"] = "Made from sim/event_reference.cc; docs/events.md says the same in words.";
  nlohmann::ordered_json kinds = nlohmann::ordered_json::array();
  for (const KindDoc& k : kKinds) kinds.push_back(k.name);
  schema["type"] = "object";
  schema["properties"] = {{"kind", {{"enum", kinds}}}};
  schema["required"] = {"kind"};
  nlohmann::ordered_json cases = nlohmann::ordered_json::array();
  for (const KindDoc& k : kKinds) {
    nlohmann::ordered_json shape;
    if (&k == &summaryDoc() || &k == &matrixDoc()) {
      shape = objectSchema(k.fields);
    } else {
      shape = objectSchema(kCommon, k.fields);
      if (k.ofReminder)
        for (const FieldDoc& f : kOfReminder) shape["properties"][std::string(f.name)] = schemaOf(f);
    }
    shape["properties"]["kind"] = {{"const", k.name}};
    cases.push_back({{"if", {{"properties", {{"kind", {{"const", k.name}}}}}}}, {"then", shape}});
  }
  schema["allOf"] = cases;
  return schema.dump(2) + "\n";
}

}  // namespace qv::sim

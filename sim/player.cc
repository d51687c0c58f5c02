#include "sim/player.h"

#include <algorithm>

#include "sim/presets.h"

namespace qv::sim {

WorldConfig worldConfigFor(const Scenario& scenario) {
  return scenario.world;
}

Player::Player(World& world, const Scenario& scenario) : world_(world), scenario_(scenario), start_(world.now()) {
  for (const AppSpec& app : scenario_.apps) world_.home().installApp(app.bundleId, app.name, app.badge);
}

void Player::schedule() {
  // The scenario's own queue outlives a restarting home screen; each action is handed to the home
  // screen's main queue of the moment, where the user's touches and the network arrive.
  dispatch::QueueRef scenarioQueue = world_.clock().createQueue("scenario", "Scenario", false);
  // A time the clocks skip or repeat is noted just before what happens then: the start's first,
  // an action's own time just before that action, the end's (`run`, `--until`) after the actions
  // of that moment.
  auto ofAction = [](const ClockNote& n, const Action& a) { return n.place == a.place + ".at"; };
  std::vector<ClockNote> startNotes, endNotes = extraNotes_;
  for (const ClockNote& n : scenario_.clockNotes)
    if (std::none_of(scenario_.actions.begin(), scenario_.actions.end(),
                     [&](const Action& a) { return ofAction(n, a); }))
      (n.place == "start" ? startNotes : endNotes).push_back(n);
  auto scheduleNotes = [&](const std::vector<ClockNote>& notes) {
    for (const ClockNote& n : notes)
      world_.clock().at(scenarioQueue, start_ + n.at, [this, n] {
        world_.clock().async(world_.springBoard().host.mainQueue(), [this, n] { recordClockNote(n); });
      });
  };
  scheduleNotes(startNotes);
  // The actions wait as one list: only the next one is an event, whatever the scenario's length.
  std::vector<dispatch::Instant> dues;
  dues.reserve(scenario_.actions.size());
  for (const Action& a : scenario_.actions) dues.push_back(start_ + a.at);
  world_.clock().atEach(scenarioQueue, std::move(dues), [this, ofAction](std::size_t i) {
    const Action* action = &scenario_.actions[i];
    const ClockNote* clockNote = nullptr;
    for (const ClockNote& n : scenario_.clockNotes)
      if (ofAction(n, *action)) clockNote = &n;
    world_.clock().async(world_.springBoard().host.mainQueue(), [this, action, clockNote] {
      if (clockNote) recordClockNote(*clockNote);
      perform(*action);
      if (afterAction) afterAction(*action);
    });
  });
  scheduleNotes(endNotes);
  scenarioQueue_ = scenarioQueue;
}

void Player::recordClockNote(const ClockNote& n) {
  if (world_.timeline().active())
    world_.timeline().record("Note", timeline::Kind::Action, n.text, {},
                             {{"do", std::string("note")}, {"text", n.text}, {"place", n.place}});
}

void Player::run() {
  runUntil(end());
}

void Player::runUntil(dispatch::Instant until) {
  world_.runUntil(std::min(until, end()));
}

void Player::refused(const Status& s) {
  if (!s) aside(s.error());
}

void Player::aside(const std::string& what) { note(actor_, "(" + what + ")"); }

std::string_view Player::appName(const std::string& bundleId) const {
  return world_.home().nameOr(bundleId);
}

const std::string& Player::line(std::initializer_list<std::string_view> parts) {
  line_.clear();
  for (std::string_view part : parts) line_ += part;
  return line_;
}

std::string Player::notificationName(const Action& a) const {
  return a.target.empty() ? "the latest notification" : "the notification \"" + a.target + "\"";
}

void Player::note(std::string_view who, std::string_view what, std::string_view app, std::string_view event) {
  actor_ = who;
  if (!world_.timeline().active()) return;
  // The fields borrow their texts (they live until the event is recorded) and sit on the stack:
  // the names and texts present are gathered first, then made into fields in one go.
  std::string_view named[5][2];
  std::size_t n = 0;
  const auto add = [&](std::string_view name, std::string_view text) {
    named[n][0] = name;
    named[n++][1] = text;
  };
  add("do", current_ ? actionName(current_->type) : "note");
  add("text", what);
  if (current_ && !current_->place.empty()) add("place", current_->place);
  if (!app.empty()) add("app", app);
  if (!event.empty()) add("event", event);
  using timeline::Borrowed;
  const timeline::Field fields[5] = {
      {named[0][0], Borrowed{named[0][1]}}, {named[1][0], Borrowed{named[1][1]}},
      {named[2][0], Borrowed{named[2][1]}}, {named[3][0], Borrowed{named[3][1]}},
      {named[4][0], Borrowed{named[4][1]}}};
  world_.timeline().record(who, timeline::Kind::Action, what, {}, std::span<const timeline::Field>(fields, n));
}

const PresetDelivery& Player::presetDelivery(const NotificationSpec& n) {
  static const PresetDelivery kNone;
  if (n.preset.empty()) return kNone;
  const bool ios10 = world_.notifications().ios10();
  for (const BuiltPreset& built : presets_)
    if (built.preset == n.preset && built.app == n.app && built.ios10 == ios10) return built.delivery;
  const Preset* p = findPreset(n.preset);
  if (!p) return kNone;
  return presets_.emplace_back(BuiltPreset{n.preset, n.app, ios10, p->build(ios10, n.app)}).delivery;
}

void Player::deliver(const NotificationSpec& n) {
  springboard::Notifications& notes = world_.notifications();
  const PresetDelivery& d = presetDelivery(n);
  // Fields the scenario spells out win over the preset's.
  springboard::IncomingNotification incoming;
  incoming.bundleId = n.app.empty() ? d.app : n.app;
  incoming.categoryIdentifier = n.categoryIdentifier.empty() ? d.categoryIdentifier : n.categoryIdentifier;
  incoming.remotePayload = n.remote ? n.remote : d.remote;
  incoming.localPayload = n.local ? n.local : d.local;
  incoming.firedLocalNotification = n.localFire || d.localFire;
  incoming.title = n.title.empty() ? d.title : n.title;
  incoming.message = n.message.empty() ? d.message : n.message;
  const std::string& app = incoming.bundleId;
  const std::string& title = incoming.title;
  if (title.empty()) incoming.title = world_.home().nameOr(app);
  if (heard()) {
    // "WhatsApp: Anna — hi! (whatsapp-message)": the app, what it shows, and which event it is.
    const bool hasMessage = !incoming.message.empty();
    note("Network",
         line({appName(app), ": ", title, hasMessage && !title.empty() ? " — " : "", incoming.message, " (",
               n.preset.empty() ? std::string_view("raw notification") : std::string_view(n.preset),
               incoming.firedLocalNotification ? ", fired locally" : "", ")"}),
         app, n.preset);
  }
  std::optional<std::int64_t> badge = n.badge;
  if (app == "com.apple.MobileSMS") {
    // A new message raises the unread count, and the Messages badge follows it; a badge the
    // scenario gives sets the badge only, so the message is there to be read all the same.
    (void)world_.messages().arrive(title.empty() ? "Unknown" : title);
  } else if (!badge && d.badgeDelta != 0) {
    badge = world_.home().badge(app) + d.badgeDelta;
  }
  incoming.localArchive = n.localArchive;
  incoming.context = n.context;
  incoming.badge = badge;
  latest_ = notes.deliver(incoming);
  if (!n.label.empty()) labels_[n.label] = latest_;
}

namespace {
bool lists(const std::vector<springboard::ShownNotification>& shown, springboard::NotificationHandle h) {
  return h && std::any_of(shown.begin(), shown.end(), [h](const auto& s) { return s.handle == h; });
}
}  // namespace

// The words say where the notification was: swiped off the lock screen (iOS 7 to 9), cleared
// from the lock screen (iOS 10) or from the notification centre.
void Player::removeNotification(const Action& a) {
  springboard::Notifications& notes = world_.notifications();
  const springboard::NotificationHandle h = target(a);
  const bool onLockScreen = lists(notes.lockScreenItems(), h);
  const bool inCentre = !onLockScreen && lists(notes.notificationCentreItems(), h);
  const std::string what = notificationName(a);
  if (onLockScreen)
    note("User",
         notes.ios10() ? "clears " + what + " from the lock screen" : "swipes " + what + " off the lock screen");
  else if (inCentre)
    note("User", "clears " + what + " from the notification centre");
  else
    note("User", "removes " + what);
  const objc::Id bulletin = notes.bulletinOf(h);
  if (!notes.removeFromLockScreen(h)) return aside("that notification is no longer shown");
  if ((notes.ios10() || inCentre) && world_.timeline().wantsDecisions()) {
    const springboard::BulletinFields* f = springboard::bulletinFields(bulletin);
    const std::string subject = f ? f->sectionID : onLockScreen ? "lock screen" : "notification centre";
    // The system's hook on iOS 10 clearing only calls through, from either place.
    if (notes.ios10())
      world_.timeline().decision("SpringBoard", subject,
                                 "no reminder cleared: on iOS 10 the system only passes the clearing of a "
                                 "notification through; reminders stop when a notification is acted on (calls, "
                                 "listed apps) or when the app is opened or its messages read");
    else
      world_.timeline().decision("SpringBoard", subject,
                                 "no reminder cleared: on iOS 7 to 9 only removals from the lock screen pass a step "
                                 "the system hooks, none from the notification centre");
  }
}

springboard::NotificationHandle Player::target(const Action& a) const {
  if (a.target.empty()) return latest_;
  auto it = labels_.find(a.target);
  return it == labels_.end() ? springboard::NotificationHandle{} : it->second;
}

void Player::perform(const Action& a) {
  // Whatever the action sets going, now or later, is traced to it (1-based, in time order).
  const Action* first = scenario_.actions.data();
  const bool ours = &a >= first && &a < first + scenario_.actions.size();
  dispatch::TraceScope traced(world_.clock(), {ours ? static_cast<std::uint32_t>(&a - first + 1) : 0, 0, 0});
  current_ = &a;
  act(a);
  current_ = nullptr;
}

void Player::act(const Action& a) {
  springboard::HomeScreen& home = world_.home();
  switch (a.type) {
    case ActionType::Notification:
      deliver(a.notification);
      break;
    case ActionType::Lock:
      note("User", "presses the lock button");
      if (home.locked())
        aside("the device is locked already: nothing happens");
      else
        home.lock();
      break;
    case ActionType::Unlock:
      note("User", "unlocks the device");
      if (!home.locked())
        aside("the device is unlocked already: nothing happens");
      else
        home.unlock();
      break;
    case ActionType::AutoLock:
      note("Device", "auto-lock timer fires");
      // The timer runs only while the device is unlocked.
      if (home.locked()) {
        aside("the device is locked already: nothing happens");
        break;
      }
      home.autoLock();
      break;
    case ActionType::QuietMode:
      note("User", a.on ? "turns do not disturb on" : "turns do not disturb off");
      home.setQuietMode(a.on);
      break;
    case ActionType::SetBadge:
      if (heard()) note("Device", line({appName(a.app), " badge becomes ", std::to_string(a.count)}), a.app);
      home.setBadge(a.app, a.count);
      break;
    case ActionType::Settings:
      note("Settings", "the settings pane saves " + describeSettings(a.values, a.removals));
      world_.writeSettings(a.values, a.removals, true);
      break;
    case ActionType::SettingsFile:
      if (a.settingsFile) {
        note("Settings", "another tool puts " + a.settingsFileName + " in place as the settings file (" +
                             (a.values.empty() ? std::string("no keys") : describeSettings(a.values)) +
                             "; no change notification)");
        world_.replaceSettingsFile(*a.settingsFile);
        break;
      }
      note("Settings", "another tool writes " + describeSettings(a.values, a.removals) +
                           " into the settings file (no change notification)");
      world_.editSettingsFile(a.values, a.removals);
      break;
    case ActionType::Note:
      note("Note", a.text);
      break;
    case ActionType::RemoveNotification:
      removeNotification(a);
      break;
    case ActionType::ActOnNotification:
      note("User", "acts on " + notificationName(a) + " from the " +
                       (a.origin == "lock-screen" ? "lock screen" : "notification centre"));
      if (a.origin == "lock-screen" && !home.locked()) {
        aside("the device is unlocked: there is no lock screen to act from; nothing happens");
        break;
      }
      // The lock screen offers only what it lists: a notification that came while the device was
      // unlocked, or was handed over at an unlock, is in the notification centre alone.
      if (a.origin == "lock-screen" && !lists(world_.notifications().lockScreenItems(), target(a))) {
        aside(lists(world_.notifications().notificationCentreItems(), target(a))
                  ? "that notification is not on the lock screen, only in the notification centre; nothing happens"
                  : "that notification is no longer shown");
        break;
      }
      if (!world_.notifications().actOn(target(a), a.origin == "lock-screen" ? springboard::kOriginLockScreen
                                                                             : springboard::kOriginNotificationCentre))
        aside("that notification is no longer shown");
      break;
    case ActionType::TapBanner:
      note("User", "taps the banner");
      if (!world_.notifications().tapBanner()) aside("no banner is on screen");
      break;
    case ActionType::IncomingCall: {
      const std::string caller = a.app.empty() ? "Unknown caller" : a.app;
      if (heard()) note("Network", "incoming call from " + caller);
      refused(world_.calls().incomingCall(caller));
      break;
    }
    case ActionType::AnswerCall:
      note("User", "answers the call");
      refused(world_.calls().answer());
      break;
    case ActionType::EndCall:
      if (world_.calls().state() == telephony::kRinging) {
        note("Network", "the caller hangs up before the call is answered");
        refused(world_.calls().callerHangsUp());
        // The Phone app's missed-call notification is the one later actions name by default.
        if (world_.lastMissedCallNotification()) latest_ = world_.lastMissedCallNotification();
      } else {
        note("User", "ends the call");
        refused(world_.calls().hangUp());
      }
      break;
    case ActionType::OpenApp:
      // No app opens on a locked device: the user unlocks it on the way, as the timeline shows.
      if (home.locked()) {
        if (heard()) note("User", line({"unlocks the device to open ", appName(a.app)}), a.app);
        home.unlock();
      }
      if (heard()) note("User", line({"opens ", appName(a.app)}), a.app);
      world_.openApp(a.app);
      break;
    case ActionType::LeaveApp:
      // As with opening an app, the user unlocks a locked device on the way.
      if (home.locked() && world_.notifications().applications().frontmost() == a.app) {
        if (heard()) note("User", line({"unlocks the device to leave ", appName(a.app)}), a.app);
        home.unlock();
      }
      if (heard()) note("User", line({"leaves ", appName(a.app), " for the home screen"}), a.app);
      if (!world_.leaveApp(a.app) && heard()) {
        const std::string& front = world_.notifications().applications().frontmost();
        aside(line({appName(a.app), " is not in front; ", front.empty() ? "the home screen" : appName(front),
                    " is: nothing happens"}));
      }
      break;
    case ActionType::ReadMessages:
      note("User", a.count < 0  ? "reads all new messages in Messages"
                   : a.count == 1 ? "reads 1 new message in Messages"
                                  : "reads " + std::to_string(a.count) + " new messages in Messages");
      world_.readMessages(a.count < 0 ? std::nullopt : std::optional<std::int64_t>(a.count));
      break;
    case ActionType::Respring:
      note("User", "restarts the home screen");
      world_.respring();
      break;
  }
}

}  // namespace qv::sim

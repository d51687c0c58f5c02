// The simulator over a month: a 30-day scenario made in code with 10,000 notifications across
// every category (missed calls included), 60 s reminders, and a user who opens each app a few
// minutes later, so every reminder ends. Reports simulated time per real second and what the
// device keeps (resident memory, lock-screen and notification-centre lists, notification records)
// after 10 and after 30 days: once reminders have ended it must not grow with the scenario.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <fstream>
#include <string>

#include "sim/player.h"
#include "sim/presets.h"
#include "sim/scenario.h"

namespace qv {
namespace {

using namespace std::chrono_literals;

constexpr int kNotifications = 10'000;
constexpr auto kMonth = std::chrono::hours(24 * 30);

// What arrives, in turn; an empty event is a missed phone call (ringing, then the caller hangs up).
struct Arrival {
  const char* event;
  const char* app;  // the app the user opens to deal with it
};
constexpr Arrival kArrivals[] = {
    {"sms", "com.apple.MobileSMS"},
    {"", "com.apple.mobilephone"},
    {"mail", "com.apple.mobilemail"},
    {"whatsapp-message", "net.whatsapp.WhatsApp"},
    {"whatsapp-missed-call", "net.whatsapp.WhatsApp"},
    {"messenger-message", "com.facebook.Messenger"},
    {"messenger-missed-call", "com.facebook.Messenger"},
    {"telegram-message", "ph.telegra.Telegraph"},
    {"threema-message", "ch.threema.iapp"},
    {"viber-message", "com.viber"},
    {"viber-missed-call", "com.viber"},
    {"twitter-mention", "com.atebits.Tweetie2"},
    {"app-notification", "com.example.Chat"},
};

pl::Dict monthSettings() {
  pl::Dict s;
  for (const char* key : {"globalEnabled", "globalSMS", "globalMail", "globalCall", "globalIm", "imCalWats",
                          "imSMSWats", "imCalFBMess", "imSMSFBMess", "imSMSTeleg", "thremaIm", "ViperImCall",
                          "ViperImMess", "otherEnabled", "showStatus", "soundMail"})
    s[key] = pl::Value(true);
  for (const char* key : {"smsInt", "phInt", "mailInt", "imInt", "otherInt"}) s[key] = pl::Value(std::int64_t{60});
  s["otherApplications"] = pl::Value(pl::Array{pl::Value("com.example.Chat"), pl::Value("com.atebits.Tweetie2")});
  return s;
}

// A new action at the end of `s`, made in place (an action is large: a move copies a dozen strings).
sim::Action& add(sim::Scenario& s, dispatch::Duration at, sim::ActionType type, const std::string& app = "") {
  sim::Action& a = s.actions.emplace_back();
  a.at = at;
  a.type = type;
  a.app = app;
  return a;
}

// Arrivals evenly spread over the month; each app opened three minutes after its notification
// (two or three alerts) and left a minute later.
sim::Scenario monthScenario(const std::string& release) {
  sim::Scenario s;
  s.name = "a month of notifications";
  s.sourceFile = "sim_bench";
  s.world.release = release;
  s.world.settings = monthSettings();
  s.apps = {{"com.example.Chat", "Chat", 0}};
  s.duration = kMonth;
  // Mail launched from scratch tells nothing; its later returns to the front clear.
  // At most four actions a notification (a call rings and ends, an SMS is read too): room made once.
  s.actions.reserve(2 + 4 * kNotifications);
  add(s, 0s, sim::ActionType::OpenApp, "com.apple.mobilemail");
  add(s, 10s, sim::ActionType::LeaveApp, "com.apple.mobilemail");
  const dispatch::Duration gap = dispatch::Duration(kMonth) / kNotifications;
  for (int i = 0; i < kNotifications; ++i) {
    const Arrival& arrival = kArrivals[i % std::size(kArrivals)];
    const dispatch::Duration t = gap * i;
    if (*arrival.event == '\0') {
      add(s, t, sim::ActionType::IncomingCall, "Caller " + std::to_string(i % 7));
      add(s, t + 20s, sim::ActionType::EndCall);
    } else {
      sim::Action& a = add(s, t, sim::ActionType::Notification);
      a.notification.preset = arrival.event;
      if (sim::findPreset(arrival.event)->needsApp) a.notification.app = arrival.app;
    }
    add(s, t + 3min, sim::ActionType::OpenApp, arrival.app);
    // What ends an SMS reminder is reading the message.
    if (std::string_view(arrival.event) == "sms") add(s, t + 3min, sim::ActionType::ReadMessages).count = -1;
    add(s, t + 4min, sim::ActionType::LeaveApp, arrival.app);
  }
  return s;
}

std::size_t residentKiB() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) / 1024;
}

struct Kept {
  std::size_t residentKiB, lockScreen, centre, records;
};

Kept kept(sim::World& world) {
  springboard::Notifications& n = world.notifications();
  return {residentKiB(), n.lockScreenItems().size(), n.notificationCentreItems().size(), n.recordCount()};
}

// Args: 9 or 10 (the system range); 1 to listen to the timeline (fires are counted then). Each iteration plays the
// whole month in a fresh world; the figures of the last iteration are reported.
void BM_MonthOfNotifications(benchmark::State& state) {
  const sim::Scenario scenario = monthScenario(state.range(0) == 9 ? "9.3" : "10.3");
  std::size_t fires = 0;
  Kept day10{}, day30{};
  for (auto _ : state) {
    sim::World world(sim::worldConfigFor(scenario));
    sim::Player player(world, scenario);
    fires = 0;
    // With a listener every event is built (as for the command's summary); without, none is.
    if (state.range(1))
      world.timeline().addListener(
          [&](const timeline::Event& e) {
            if (e.kind == timeline::Kind::ReminderFired) ++fires;
          },
          false);
    player.schedule();
    player.runUntil(world.now() + std::chrono::hours(24 * 10));
    state.PauseTiming();
    day10 = kept(world);
    state.ResumeTiming();
    player.run();
    state.PauseTiming();
    day30 = kept(world);
    state.ResumeTiming();
  }
  const double simulatedSeconds = std::chrono::duration<double>(kMonth).count();
  state.counters["x_real_time"] =
      benchmark::Counter(simulatedSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["fires"] = static_cast<double>(fires);
  state.counters["rss_kib_day10"] = static_cast<double>(day10.residentKiB);
  state.counters["rss_kib_day30"] = static_cast<double>(day30.residentKiB);
  state.counters["records_day10"] = static_cast<double>(day10.records);
  state.counters["records_day30"] = static_cast<double>(day30.records);
  state.counters["shown_day10"] = static_cast<double>(day10.lockScreen + day10.centre);
  state.counters["shown_day30"] = static_cast<double>(day30.lockScreen + day30.centre);
}
BENCHMARK(BM_MonthOfNotifications)
    ->Args({9, 1})
    ->Args({10, 1})
    ->Args({10, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace qv

// The cost of classifying one notification at each entry point, settings reloads included (the
// alert gate and the status-bar item each reload the settings from a real property-list file).
// Counters: `reloads` per notification, `reload_us` the cost of one reload measured beside it,
// `unarchive_us` the keyed-archive decode of a local payload where the case has one, and
// `rules_pct`, what the rest adds to the reloads (thread CPU time throughout). No timeline
// listener is attached.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>

#include "intake/classification.h"
#include "platform/plist/keyed_archive.h"
#include "sim/world.h"

namespace qv {
namespace {

// CPU time of the calling thread: other builds sharing the machine do not count.
struct ThreadCpuClock {
  using duration = std::chrono::nanoseconds;
  using time_point = std::chrono::time_point<ThreadCpuClock>;
  static time_point now() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return time_point(std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec));
  }
};
using Clock = ThreadCpuClock;
using intake::IntakeNotification;

// A settings pane used for a while: every app switched on, a window, a few listed apps.
pl::Dict usedSettings() {
  pl::Dict d;
  for (const char* key :
       {"imCalWats", "imSMSWats", "imCalFBMess", "imSMSFBMess", "imSMSTeleg", "thremaIm", "ViperImCall", "ViperImMess",
        "globalMail", "otherEnabled", "showStatus", "soundsms", "vibesms", "torchCall", "unSmS", "showBanner"})
    d[key] = true;
  for (const char* key : {"smsInt", "phInt", "mailInt", "imInt", "otherInt"}) d[key] = 45;
  for (const char* key : {"smsCount", "phCount", "mailCount", "imCount", "otherCount"}) d[key] = 7;
  d["currentSMSSound"] = "Chime.caf";
  d["otherApplications"] = pl::Array{"com.example.chat", "com.example.social", "com.apple.mobilecal"};
  d["fromHour"] = 7;
  d["fromMin"] = 30;
  d["toHour"] = 22;
  d["toMin"] = 45;
  return d;
}

const pl::Dict kMissedCallPayload{{"missed-call-jid", "4917612345678@s.whatsapp.net"}};

template <class F>
double microsecondsEach(F&& f) {
  constexpr int kRuns = 2000;
  const auto start = Clock::now();
  for (int i = 0; i < kRuns; ++i) f();
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kRuns;
}

enum Case { Publish, LockScreenAdd, Request, RequestRefused, LocalNotification, CallState };

void classify(core::Library& lib, Case c, const IntakeNotification& note, const pl::Dict& userInfo) {
  switch (c) {
    case Publish:
      return intake::classifyPublishedBulletin(lib, note);
    case LockScreenAdd:
      return intake::classifyLockScreenBulletin(lib, note);
    case Request:
    case RequestRefused:
      return intake::classifyNotificationRequest(lib, note);
    case LocalNotification:
      return intake::classifyWhatsAppLocalNotification(lib, &userInfo);
    case CallState:
      return intake::startCallReminderFromCallState(lib);
  }
}

IntakeNotification noteFor(Case c) {
  switch (c) {
    case Publish:
      return {.sectionID = "ph.telegra.Telegraph", .context = pl::Dict{{"remoteNotification", pl::Dict{}}}};
    case LockScreenAdd:
      return {.sectionID = "net.whatsapp.WhatsApp",
              .context = pl::Dict{{"localNotification", pl::Data(pl::archiveLocalNotification(kMissedCallPayload))}}};
    case Request:
    case RequestRefused:
      return {.sectionID = "net.whatsapp.WhatsApp", .categoryIdentifier = "missed-call"};
    default:
      return {};
  }
}

void BM_Classify(benchmark::State& state) {
  const Case c = static_cast<Case>(state.range(0));
  const bool ios10 = c == Request || c == RequestRefused;
  sim::World world({.release = ios10 ? "10.3" : "9.3",
                    .start = {2026, 12, 7, c == RequestRefused ? 23 : 12, 0, 0},
                    .settings = usedSettings()});
  core::Library& lib = world.library();
  lib.intake.intakeReady = true;
  const IntakeNotification note = noteFor(c);
  const pl::Dict userInfo = kMissedCallPayload;
  const auto reload = [&] { lib.settings.load(lib.host); };
  const double reloadBefore = microsecondsEach(reload);
  const pl::Data* archive = pl::findData(note.contextDict(), "localNotification");
  const double unarchiveMicros =
      archive
          ? microsecondsEach([&] { benchmark::DoNotOptimize(lib.host.unarchiveLocalNotificationUserInfo(*archive)); })
          : 0.0;
  const std::uint64_t loadsBefore = lib.settings.loadCount();
  const auto start = Clock::now();
  for (auto _ : state) classify(lib, c, note, userInfo);
  const double perNote =
      std::chrono::duration<double, std::micro>(Clock::now() - start).count() / static_cast<double>(state.iterations());
  const double reloads =
      static_cast<double>(lib.settings.loadCount() - loadsBefore) / static_cast<double>(state.iterations());
  const double reloadMicros = (reloadBefore + microsecondsEach(reload)) / 2;
  const double platform = reloads * reloadMicros + unarchiveMicros;
  state.counters["reloads"] = reloads;
  state.counters["reload_us"] = reloadMicros;
  state.counters["unarchive_us"] = unarchiveMicros;
  state.counters["rules_pct"] = reloads > 0 ? 100.0 * (perNote - platform) / (reloads * reloadMicros) : 0;
  const char* labels[] = {"publish: Telegram message restarts",
                          "lock-screen add: WhatsApp missed call, archived payload",
                          "request: WhatsApp missed call restarts",
                          "request: WhatsApp missed call, quiet hours refuse",
                          "local notification: WhatsApp missed call restarts",
                          "call state: call reminder starts"};
  state.SetLabel(labels[c]);
}
BENCHMARK(BM_Classify)->DenseRange(Publish, CallState);

}  // namespace
}  // namespace qv

// iOS 10: posted requests reach the request rules through their own queue and the main queue;
// actions taken from the lock screen or the notification centre clear.
#include <gtest/gtest.h>

#include "core/helper_messages.h"
#include "tests/intake/intake_test_support.h"

namespace qv::intake::testing {
namespace {

// Records every LoadImTimer: with whether it ran on the main queue, then calls through.
struct StartWatch {
  static inline std::string trace;
  static inline objc::Slot<void(std::string)> previous;
  static inline host::Host* host = nullptr;
  static void replacement(void*, objc::Object* self, objc::Sel sel, std::string argument) {
    const bool main = host->scheduler().currentQueue() == host->mainQueue().get();
    trace += (trace.empty() ? "" : " ") + argument + (main ? "" : "(off main)");
    previous(self, sel, std::move(argument));
  }
  static void install(core::Library& lib) {
    trace.clear();
    host = &lib.host;
    lib.host.runtime().hookMessage<void(std::string)>(lib.host.runtime().getClass("MissedHelper"),
                                                      core::hm::LoadImTimer.sel, &replacement, nullptr, &previous);
  }
};

class NotificationCentre : public ::testing::Test {
 protected:
  // Acting on a notification would also open its app, whose own hooks post clears too; these
  // tests look at the home screen's clears alone.
  NotificationCentre() { n.openApp = {}; }
  std::string clearCauses() {
    std::string out;
    for (const timeline::Event& e : w.rec.ofKind(Kind::Decision))
      if (e.subject == "call" && e.detail.starts_with("clear asked")) out += (out.empty() ? "" : " / ") + e.detail;
    return out;
  }

  IntakeWorld w{{.release = "10.3"}};
  springboard::Notifications& n = w.world.notifications();
};

TEST_F(NotificationCentre, RequestsAreDecidedOnTheMainQueueOneAtATimeInArrivalOrder) {
  // Request rules off the main thread.
  StartWatch::install(w.lib);
  n.deliver({.bundleId = "ph.telegra.Telegraph"});
  n.deliver({.bundleId = "net.whatsapp.WhatsApp", .categoryIdentifier = "message"});
  n.deliver({.bundleId = "com.viber", .categoryIdentifier = "CAT_INCOMING_MESSAGE"});
  EXPECT_EQ(StartWatch::trace, "") << "the hook returns at once";
  EXPECT_EQ(w.lib.intake.waitingRequests.size(), 3u);
  w.world.runUntilIdle();
  EXPECT_EQ(StartWatch::trace, "TGMessage WhatsAppMessage ViperMessage");
  EXPECT_TRUE(w.lib.intake.waitingRequests.empty());
}

TEST_F(NotificationCentre, ActingOnAMissedCallClearsTheCallReminderFromEitherListButNotFromABanner) {
  for (const char* origin :
       {springboard::kOriginNotificationCentre, springboard::kOriginLockScreen, springboard::kOriginBanner}) {
    auto call = w.deliver({.bundleId = "com.apple.mobilephone"});
    ASSERT_TRUE(w.running(Category::Call));
    n.actOn(call, origin);
    w.world.runUntilIdle();
  }
  EXPECT_EQ(w.rec.count(Kind::DarwinPost, "com.tarnwick.missed.clearphoneTimer"), 2u);
  EXPECT_EQ(clearCauses(),
            "clear asked by notification: acted on from the notification centre / "
            "clear asked by notification: acted on from the lock screen");
}

}  // namespace
}  // namespace qv::intake::testing

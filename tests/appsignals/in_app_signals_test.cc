#include "appsignals/in_app_signals.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "platform/apps/whatsapp_app.h"
#include "tests/alerts/alerts_test_support.h"
#include "tests/platform/trace_hooks.h"

namespace qv::appsignals {
namespace {

using namespace std::chrono_literals;
using core::Category;
using core::CategoryInfo;
using timeline::Kind;
namespace msg = host::msg;

// The life-cycle methods an app implements itself, traced inside the library's hooks.
void traceOwnLifeCycle(testing::TraceHooks& hooks, objc::Runtime& rt, const std::string& cls, const std::string& as) {
  objc::Class* c = rt.getClass(cls);
  auto has = [&](const auto& m) { return c && c->hasOwnMethod(m.sel); };
  if (has(msg::didFinishLaunchingWithOptions)) hooks.on<msg::didFinishLaunchingWithOptions>(cls, as + "launch");
  if (has(msg::applicationDidFinishLaunching)) hooks.on<msg::applicationDidFinishLaunching>(cls, as + "launch");
  if (has(msg::applicationWillEnterForeground))
    hooks.on<msg::applicationWillEnterForeground>(cls, as + "willEnterForeground");
  if (has(msg::applicationDidBecomeActive)) hooks.on<msg::applicationDidBecomeActive>(cls, as + "didBecomeActive");
  if (has(msg::applicationReallyWillEnterForeground))
    hooks.on<msg::applicationReallyWillEnterForeground>(cls, as + "reallyWillEnterForeground");
  if (has(msg::applicationReallyDidBecomeActive))
    hooks.on<msg::applicationReallyDidBecomeActive>(cls, as + "reallyDidBecomeActive");
  if (has(msg::waApplicationWillEnterForeground))
    hooks.on<msg::waApplicationWillEnterForeground>(cls, as + "wa_willEnterForeground");
}

// Each app's own handlers and its clear posts in one trace: "post clearMailTimer" marks a post.
class InAppSignals : public ::testing::Test {
 protected:
  InAppSignals() {
    world.timeline().addListener(
        [this](const timeline::Event& e) {
          if (e.kind == Kind::DarwinPost && tracer && e.subject.starts_with(core::kClearNotificationPrefix))
            tracer->note("post " + e.subject.substr(core::kClearNotificationPrefix.size()));
        },
        false);
  }
  void TearDown() override { alerts::testing::finishPendingBlinks(world); }

  void traceApp(sim::Process& p) {
    if (!p.app) return;
    tracer = std::make_unique<testing::TraceHooks>(p.host.runtime());
    const apps::AppSpec& appSpec = p.app->appSpec();
    traceOwnLifeCycle(*tracer, p.host.runtime(),
                      appSpec.delegateClass.empty() ? appSpec.applicationClass : appSpec.delegateClass, "");
    traceOwnLifeCycle(*tracer, p.host.runtime(), "WATabBarController", "tabBar.");
    traceOwnLifeCycle(*tracer, p.host.runtime(), "WAViewController", "list.");
  }
  // Launch, leave and return: the trace of the launch and the trace of the return.
  std::pair<std::string, std::string> launchAndReturn(const std::string& bundleId) {
    apps::App& app = world.app(bundleId);
    EXPECT_TRUE(app.launch());
    const std::string launched = tracer->trace();
    tracer->clear();
    EXPECT_TRUE(app.enterBackground());
    EXPECT_TRUE(app.enterForeground());
    return {launched, tracer->trace()};
  }

  std::unique_ptr<testing::TraceHooks> tracer;
  sim::World world{{.beforeLibraryLoads = [this](sim::Process& p) { traceApp(p); }}};
  timeline::Recorder rec{world.timeline()};
  core::Library& lib = world.library();
};

// Each app's handlers and clear posts on launch and on its return, one app after another in one world.
TEST_F(InAppSignals, EachAppPostsItsClearsAroundItsOwnHandlersInItsOwnOrder) {
  const std::string wa = "post clearwhatsAppPhoneTimer post clearwhatsAppMessageTimer ";
  const std::string fb = " post clearFBMessPhoneTimer post clearFBMessMessageTimer";
  const std::string viber = "post clearViperMessTimer post clearViperCallTimer";
  const struct {
    const char* bundleId;
    std::string launch, back;
  } apps[] = {
      {"com.apple.mobilephone", "post clearphoneTimer launch post clearphoneTimer didBecomeActive",
       "post clearphoneTimer willEnterForeground post clearphoneTimer didBecomeActive"},
      {"com.apple.mobilemail", "launch didBecomeActive", "willEnterForeground post clearMailTimer didBecomeActive"},
      {"net.whatsapp.WhatsApp", wa + "launch " + wa + "didBecomeActive " + wa + "reallyDidBecomeActive",
       wa + "willEnterForeground " + wa + "reallyWillEnterForeground tabBar.willEnterForeground " + wa +
           "list.wa_willEnterForeground " + wa + wa + "didBecomeActive " + wa + "reallyDidBecomeActive"},
      {"com.facebook.Messenger", "launch didBecomeActive" + fb, "willEnterForeground" + fb + " didBecomeActive" + fb},
      {"ph.telegra.Telegraph", "launch didBecomeActive post clearTGMessTimer",
       "willEnterForeground post clearTGMessTimer didBecomeActive post clearTGMessTimer"},
      {"ch.threema.iapp", "post clearThreemaTimer launch didBecomeActive post clearThreemaTimer",
       "willEnterForeground post clearThreemaTimer didBecomeActive post clearThreemaTimer"},
      {"com.viber", viber + " launch didBecomeActive " + viber,
       viber + " willEnterForeground didBecomeActive " + viber},
  };
  for (const auto& app : apps) {
    auto [launch, back] = launchAndReturn(app.bundleId);
    EXPECT_EQ(launch, app.launch) << app.bundleId;
    EXPECT_EQ(back, app.back) << app.bundleId;
  }
}

TEST_F(InAppSignals, AFailedProcessCheckPostsNothing) {
  postClearSignal(lib, kMailReturned);
  postClearSignal(lib, kViberOpened);
  world.runUntilIdle();
  EXPECT_EQ(rec.count(Kind::DarwinPost), 0u) << "the home screen is neither Mail nor Viber";
  postClearSignal(lib, kPhoneOpened);
  EXPECT_EQ(rec.count(Kind::DarwinPost, "com.tarnwick.missed.clearphoneTimer"), 1u);
}

// Which reminders opening an app (launch, leave, return) clears in the home screen.
struct AppClears {
  const char* bundleId;
  std::set<Category> onLaunch;
  std::set<Category> onReturn;
};

class OpeningAnApp : public alerts::testing::AlertWorld, public ::testing::WithParamInterface<AppClears> {
 protected:
  std::set<Category> clearedBy(const std::function<void()>& step) {
    for (const CategoryInfo& row : core::kCategories) alerts::testing::startReminder(lib, row.category);
    step();
    world.runUntilIdle();
    std::set<Category> cleared;
    for (const CategoryInfo& row : core::kCategories)
      if (!lib.helper().timer(row.category)) cleared.insert(row.category);
    return cleared;
  }
};

TEST_P(OpeningAnApp, ClearsExactlyItsOwnCategoriesThroughTheChannel) {
  apps::App& app = world.app(GetParam().bundleId);
  EXPECT_EQ(clearedBy([&] { EXPECT_TRUE(app.launch()); }), GetParam().onLaunch);
  EXPECT_TRUE(app.enterBackground());
  EXPECT_EQ(clearedBy([&] { EXPECT_TRUE(app.enterForeground()); }), GetParam().onReturn);
}

INSTANTIATE_TEST_SUITE_P(
    EachApp, OpeningAnApp,
    ::testing::Values(AppClears{"com.apple.mobilephone", {Category::Call}, {Category::Call}},
                      AppClears{"com.apple.mobilemail", {}, {Category::Mail}}, AppClears{"com.apple.MobileSMS", {}, {}},
                      AppClears{"net.whatsapp.WhatsApp",
                                {Category::WhatsAppCall, Category::WhatsAppMessage},
                                {Category::WhatsAppCall, Category::WhatsAppMessage}},
                      AppClears{"com.facebook.Messenger",
                                {Category::MessengerCall, Category::MessengerMessage},
                                {Category::MessengerCall, Category::MessengerMessage}},
                      AppClears{"ph.telegra.Telegraph", {Category::TelegramMessage}, {Category::TelegramMessage}},
                      AppClears{"ch.threema.iapp", {Category::ThreemaMessage}, {Category::ThreemaMessage}},
                      AppClears{"com.viber",
                                {Category::ViberMessage, Category::ViberCall},
                                {Category::ViberMessage, Category::ViberCall}}),
    [](const auto& info) {
      std::string name = info.param.bundleId;
      std::erase(name, '.');
      return name;
    });

class UnreadCount : public alerts::testing::AlertWorld {
 protected:
  void countBecomes(std::int64_t count) {
    host::send(world.springBoard().messaging->registry(), msg::unreadCountChanged, count);
  }
};

TEST_F(UnreadCount, AFallBelowTheRecordedBadgeClearsTheSmsReminderOnce) {
  alerts::testing::startReminder(lib, Category::Sms);
  lib.intake.smsBadgeSnapshot = 4;
  countBecomes(4);
  EXPECT_NE(lib.helper().timer(Category::Sms), nullptr) << "equal to the badge: nothing read yet";
  countBecomes(3);
  EXPECT_EQ(lib.helper().timer(Category::Sms), nullptr);
  EXPECT_EQ(lib.intake.smsBadgeSnapshot, 0);
  EXPECT_EQ(world.springBoard().messaging->heardCount(), 3) << "the registry heard the count after the clear";
  alerts::testing::startReminder(lib, Category::Sms);
  countBecomes(2);
  EXPECT_NE(lib.helper().timer(Category::Sms), nullptr) << "with no badge recorded nothing clears";
}

TEST_F(UnreadCount, ReadingInMessagesReachesTheHomeScreen) {
  world.messages().arrive("Anna", 2);
  world.runUntilIdle();
  alerts::testing::startReminder(lib, Category::Sms);
  lib.intake.smsBadgeSnapshot = 2;
  sim::Process& messages = world.startProcess("com.apple.MobileSMS");
  ASSERT_TRUE(world.messages().read(*messages.messaging, "Anna", 1));
  world.runUntilIdle();
  EXPECT_EQ(lib.helper().timer(Category::Sms), nullptr);
  EXPECT_EQ(rec.count(Kind::ReminderCleared, "SMS"), 1u);
}

TEST_F(UnreadCount, AHugeBadgeStillLetsReadingClearTheSmsReminder) {
  // Badge values outside 32 bits: the recorded badge is clamped, so a fall in the unread count still clears.
  world.runFor(11s);
  ASSERT_TRUE(world.messages().arrive("Anna", 1));
  world.runUntilIdle();
  world.notifications().deliver({.bundleId = "com.apple.MobileSMS", .title = "Anna", .message = "hi",
                                 .badge = std::int64_t{1} << 31});
  world.runUntilIdle();
  ASSERT_NE(lib.helper().timer(Category::Sms), nullptr);
  world.readMessages(std::nullopt);
  world.runUntilIdle();
  EXPECT_EQ(lib.helper().timer(Category::Sms), nullptr);
  EXPECT_EQ(rec.count(Kind::ReminderCleared, "SMS"), 1u);
}

}  // namespace
}  // namespace qv::appsignals

// Which CoreFoundation versions pick which hook group, call-state behaviour and lock-screen add.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/helper_messages.h"
#include "core/library.h"
#include "core/missed_helper.h"
#include "sim/world.h"

namespace qv::core {
namespace {

using namespace std::chrono_literals;

struct VersionCase {
  const char* release;
  double coreFoundation;
  bool groupC;
  bool callStateActs;
  bool addsToLockScreen;
};

class VersionSwitch : public ::testing::TestWithParam<VersionCase> {
 protected:
  sim::World world{{.release = GetParam().release, .coreFoundationVersion = GetParam().coreFoundation}};
  Library& lib = world.library();

  bool installed(std::string_view cls, std::string_view sel) const {
    return std::any_of(lib.installedHooks.begin(), lib.installedHooks.end(),
                       [&](const InstalledHook& h) { return h.className == cls && h.selector == sel; });
  }
};

TEST_P(VersionSwitch, PicksTheHookGroupTheCallStateWindowAndTheLockScreenAdd) {
  EXPECT_EQ(installed("NCNotificationAlertQueue", "destination:willPresentNotificationRequest:suppressAlerts:"),
            GetParam().groupC);
  EXPECT_EQ(installed("NCNotificationChronologicalList", "insertNotificationRequest:"), GetParam().groupC);
  EXPECT_EQ(installed("BBServer", "init"), !GetParam().groupC);
  EXPECT_EQ(installed("SBLockScreenNotificationListController", "setInScreenOffMode:"), !GetParam().groupC);

  timeline::Recorder rec{world.timeline()};
  ASSERT_TRUE(world.calls().incomingCall("Anna"));
  ASSERT_TRUE(world.calls().callerHangsUp());
  world.runFor(1100ms);
  EXPECT_EQ(rec.count(timeline::Kind::ReminderArmed, "call"), GetParam().callStateActs ? 1u : 0u)
      << "the call state acts outside the iOS 10 window";

  std::vector<bool> adds;
  auto& sink = world.springBoard().host.bulletinSink;
  sink = [&adds, next = sink](objc::Object* provider, const objc::Id& bulletin, bool toLockScreen) {
    adds.push_back(toLockScreen);
    next(provider, bulletin, toLockScreen);
  };
  lib.intake.savedDefaultAction[index(Category::Mail)] =
      host::send(world.springBoard().host.runtime().getClass("BBAction"), host::msg::actionWithLaunchBundleID,
                 std::string("com.apple.mobilemail"), host::Block{});
  host::send(lib.sharedHelper, hm::LoadMailTimer);
  world.home().autoLock();
  world.runFor(2s);
  EXPECT_EQ(adds, std::vector<bool>{GetParam().addsToLockScreen}) << "the lock-screen bulletin's add function";
}

INSTANTIATE_TEST_SUITE_P(CoreFoundation, VersionSwitch,
                         ::testing::Values(VersionCase{"9.3", 1347.99, false, true, false},
                                           VersionCase{"10.0", 1348.0, true, false, true},
                                           VersionCase{"10.2", 1348.22, true, false, true},
                                           VersionCase{"10.2", 1348.23, true, true, false}),
                         [](const auto& info) {
                           std::string name = std::to_string(info.param.coreFoundation);
                           std::replace(name.begin(), name.end(), '.', '_');
                           return "v" + name.substr(0, name.find('_') + 3);
                         });

}  // namespace
}  // namespace qv::core

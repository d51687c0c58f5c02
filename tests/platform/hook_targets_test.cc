// The library loads into every catalogue app and hooks its classes there, and those classes live only in their own
// process. A hooked method missing from its class shows in the start-up tests (installed hooks against the hook
// table); a signature that differs from the catalogue fails the first send through the hook.
#include <gtest/gtest.h>

#include "platform/apps/catalog.h"
#include "sim/world.h"

namespace qv {
namespace {

TEST(HookTargets, LibraryLoadsIntoEveryCatalogueAppAndHooksItsClasses) {
  sim::World world;
  for (const apps::AppSpec& appSpec : apps::knownApps()) {
    sim::Process& p = world.startProcess(appSpec.bundleId);
    ASSERT_NE(p.library, nullptr) << appSpec.bundleId;
    ASSERT_TRUE(p.app->launch()) << appSpec.bundleId;
    ASSERT_TRUE(p.app->enterBackground());
    ASSERT_TRUE(p.app->enterForeground());
  }
  auto hooked = [&](const char* bundleId, std::string_view cls) {
    for (const core::InstalledHook& h : world.process(bundleId)->library->installedHooks)
      if (h.className == cls) return true;
    return false;
  };
  EXPECT_TRUE(hooked("net.whatsapp.WhatsApp", "WhatsAppAppDelegate"));
  EXPECT_TRUE(hooked("com.apple.mobilephone", "PhoneTabBarController"));
  EXPECT_TRUE(hooked("com.viber", "VIBBadgeManager"));
  EXPECT_TRUE(hooked("com.apple.MobileSMS", "IMChat"));
  EXPECT_FALSE(hooked("com.viber", "IMChat"));
  EXPECT_EQ(world.springBoard().host.runtime().getClass("WhatsAppAppDelegate"), nullptr);
  EXPECT_EQ(world.process("com.viber")->host.runtime().getClass("LSStatusBarItem"), nullptr);
  EXPECT_EQ(world.process("com.viber")->host.runtime().getClass("IMChatRegistry"), nullptr);
}

}  // namespace
}  // namespace qv

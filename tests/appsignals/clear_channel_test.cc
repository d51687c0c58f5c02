#include "appsignals/clear_channel.h"

#include <gtest/gtest.h>

#include "platform/apps/whatsapp_app.h"
#include "tests/alerts/alerts_test_support.h"

namespace qv::appsignals {
namespace {

using alerts::testing::writeAndLoad;
using namespace std::chrono_literals;
using alerts::testing::startReminder;
using core::Category;
using core::CategoryInfo;
using timeline::Kind;

class ClearChannel : public alerts::testing::AlertWorld {
 protected:
  void post(std::string_view name) {
    world.darwin().post("Tests", name);
    world.runUntilIdle();
  }
  void startAll() {
    for (const CategoryInfo& row : core::kCategories) startReminder(lib, row.category);
  }
  std::string armed() {
    std::string out;
    for (const CategoryInfo& row : core::kCategories)
      if (helper.timer(row.category)) out += (out.empty() ? "" : ", ") + std::string(row.name);
    return out;
  }
};

TEST_F(ClearChannel, EachNotificationClearsItsOwnCategoryAndNoOther) {
  for (const CategoryInfo& row : core::kCategories) {
    if (row.clearNotification.empty()) continue;
    startAll();
    post(row.clearNotification);
    EXPECT_EQ(helper.timer(row.category), nullptr) << row.clearNotification;
    int stillArmed = 0;
    for (const CategoryInfo& other : core::kCategories) stillArmed += helper.timer(other.category) != nullptr;
    EXPECT_EQ(stillArmed, 10) << row.clearNotification;
  }
  startAll();
  post("com.tarnwick.missed.clearsmsTimer");
  post("com.tarnwick.missed.clearPhoneTimer");
  EXPECT_EQ(armed(),
            "call, SMS, mail, WhatsApp call, WhatsApp message, Messenger call, Messenger message, Telegram message, "
            "Threema message, Viber message, Viber call")
      << "SMS has no clear notification and names match with their case";
}

TEST_F(ClearChannel, AMessengerClearWithNothingPendingTouchesNothingWhileCallAndMailClearEvenWhenIdle) {
  lib.reminders.counter(Category::WhatsAppCall) = 3;
  lib.reminders.activeFlag(Category::WhatsAppCall) = true;
  lib.statusBar.statusBarDirty = true;
  helper.statusBarItem(Category::WhatsAppCall) = alerts::testing::untouchableItem(lib);
  post("com.tarnwick.missed.clearwhatsAppPhoneTimer");
  EXPECT_EQ(lib.reminders.counter(Category::WhatsAppCall), 3);
  EXPECT_TRUE(lib.reminders.activeFlag(Category::WhatsAppCall));
  EXPECT_TRUE(lib.statusBar.statusBarDirty) << "updateStatusbar did not run";
  lib.reminders.counter(Category::Call) = 4;
  lib.reminders.counter(Category::Mail) = 5;
  post("com.tarnwick.missed.clearphoneTimer");
  EXPECT_EQ(lib.reminders.counter(Category::Call), 1);
  EXPECT_FALSE(lib.statusBar.statusBarDirty);
  post("com.tarnwick.missed.clearMailTimer");
  EXPECT_EQ(lib.reminders.counter(Category::Mail), 1);
}

TEST_F(ClearChannel, IconLeftByARepeatLimitGoesWhenTheAppIsOpened) {
  // Icons left for good after a repeat limit: the observer also clears while the item is still shown.
  writeAndLoad(world, {{"showStatus", true}, {"imCount", 1}});
  startReminder(lib, Category::WhatsAppMessage);
  host::send(lib.sharedHelper, core::hm::addStatusBarForIdentifier, std::string("WHMess"));
  world.runFor(61s);
  ASSERT_EQ(helper.timer(Category::WhatsAppMessage), nullptr) << "the limit emptied the timer field";
  ASSERT_TRUE(world.statusBar().items().isShown("quorvel.WHMess"));

  ASSERT_TRUE(world.app<apps::WhatsAppApp>("net.whatsapp.WhatsApp").launch());
  world.runUntilIdle();
  EXPECT_FALSE(world.statusBar().items().isShown("quorvel.WHMess"));
  EXPECT_EQ(helper.statusBarItem(Category::WhatsAppMessage), nullptr);
  EXPECT_EQ(rec.count(Kind::ReminderCleared, "WhatsApp message"), 1u);
  EXPECT_EQ(rec.count(Kind::ReminderCleared, "WhatsApp call"), 0u) << "its partner had nothing pending";
}

}  // namespace
}  // namespace qv::appsignals

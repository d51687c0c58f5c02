#include "platform/messaging/message_center.h"

#include <gtest/gtest.h>

#include "sim/world.h"
#include "tests/platform/trace_hooks.h"

namespace qv::messaging {
namespace {

namespace msg = host::msg;

class MessageService : public ::testing::Test {
 protected:
  MessageService() {
    springBoardHooks.on<msg::unreadCountChanged>("IMChatRegistry",
                                                 [](std::int64_t n) { return "home:" + std::to_string(n); });
  }
  sim::World world{testing::withoutLibrary()};
  MessageCenter& center = world.messages();
  MessagingClasses& home = *world.springBoard().messaging;
  testing::TraceHooks springBoardHooks{world.springBoard().host.runtime()};
};

TEST_F(MessageService, ReadingMarksInTheReadersChatThenEveryRegistryHearsTheNewTotal) {
  MessagingClasses& app = *world.startProcess("com.apple.MobileSMS").messaging;
  ASSERT_TRUE(center.arrive("Anna", 4));
  world.runUntilIdle();
  testing::TraceHooks appHooks(app.host().runtime());
  appHooks.on<msg::markMessageAsRead>("IMChat", "markOne");
  appHooks.on<msg::markMessagesAsRead>("IMChat", "markUpTo");
  appHooks.on<msg::unreadCountChanged>("IMChatRegistry", [](std::int64_t n) { return "app:" + std::to_string(n); });
  springBoardHooks.clear();

  ASSERT_TRUE(center.read(app, "Anna", 1));
  appHooks.note("|");
  world.runUntilIdle();
  ASSERT_TRUE(center.read(app, "Anna"));
  world.runUntilIdle();
  EXPECT_EQ(appHooks.trace(), "markOne | app:3 markUpTo app:0");
  EXPECT_EQ(springBoardHooks.trace(), "home:3 home:0");
  EXPECT_EQ(center.unreadCount(), 0);
}

TEST_F(MessageService, ReadsAndArrivalsThatCannotHappenAreRefused) {
  ASSERT_TRUE(center.arrive("Anna", 2));
  Status tooMany = center.read(home, "Anna", 3);
  ASSERT_FALSE(tooMany);
  EXPECT_EQ(tooMany.error(), "cannot read 3 of the 2 unread messages in Anna");
  EXPECT_EQ(center.read(home, "Bob").error(), "no unread messages in Bob");
  EXPECT_FALSE(center.arrive("Anna", 0));
  EXPECT_FALSE(center.arrive(""));
  EXPECT_EQ(center.unreadCount(), 2);
}

TEST_F(MessageService, ProcessThatEndsBeforeTheNewsArrivesHearsNothing) {
  world.startProcess("com.apple.MobileSMS");
  ASSERT_TRUE(center.arrive("Anna"));
  world.endProcess("com.apple.MobileSMS");
  world.runUntilIdle();
  EXPECT_EQ(springBoardHooks.trace(), "home:1");
}

}  // namespace
}  // namespace qv::messaging

// The device's message service: chats with their unread messages, and the messaging classes of
// each process that has them (IMChatRegistry, IMChat, IMMessage). Main-queue use.
//   center.arrive("Anna", 2);  world.runUntilIdle();   // each registry: unreadCountChanged: 2
//   center.read(messagesApp, "Anna", 1);                // markMessageAsRead:, then ...Changed: 1
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/result.h"

namespace qv::messaging {

class MessageCenter;

// The messaging classes of one process; detaches from the center when destroyed.
class MessagingClasses {
 public:
  MessagingClasses(MessageCenter& center, host::Host& host, std::uint64_t id);
  ~MessagingClasses();
  MessagingClasses(const MessagingClasses&) = delete;
  MessagingClasses& operator=(const MessagingClasses&) = delete;

  host::Host& host() { return host_; }
  objc::Id registry() const { return registry_; }
  // The unread total this process's registry last heard.
  std::int64_t heardCount() const { return heard_; }
  // This process's IMChat for a chat (made on first use).
  objc::Id chat(const std::string& name);
  // Internal: the service tells the registry of a new total (on the main queue).
  void tell(std::int64_t total);
  MessageCenter& center() { return center_; }
  objc::Id makeMessage(const std::string& chat, std::uint64_t serial);

  std::int64_t heard_ = 0;

 private:
  MessageCenter& center_;
  host::Host& host_;
  std::uint64_t id_;
  objc::Class* chatClass_ = nullptr;
  objc::Class* messageClass_ = nullptr;
  objc::Id registry_;
  std::map<std::string, objc::Id, std::less<>> chats_;
};

// Reading happens in one process (an IMChat mark… sent there); afterwards every process's
// registry hears the new total through unreadCountChanged: on its own main queue, as the
// service's notifications arrive, in attachment order. A registry's unreadCount is the total it
// last heard.
class MessageCenter {
 public:
  explicit MessageCenter(timeline::Timeline& timeline) : timeline_(timeline) {}
  MessageCenter(const MessageCenter&) = delete;
  MessageCenter& operator=(const MessageCenter&) = delete;

  // Defines the messaging classes in a process (before the library loads) and lets its
  // registry hear every change; the process owns the result.
  std::unique_ptr<MessagingClasses> attach(host::Host& host);

  // `count` (≥ 1) messages arrive in a chat; the registries then hear the new total.
  Status arrive(const std::string& chat, std::int64_t count = 1);
  // The user reads `count` of a chat's unread messages, oldest first (all when none), in the
  // process of `reader`: its IMChat gets markMessageAsRead: (one message) or
  // markMessagesAsRead: (the newest message read; every unread one up to it is read).
  Status read(MessagingClasses& reader, const std::string& chat, std::optional<std::int64_t> count = std::nullopt);

  std::int64_t unreadCount() const;
  // The chats that hold unread messages, in name order.
  std::vector<std::string> chatsWithUnread() const;
  std::int64_t unread(std::string_view chat) const;
  // Told of each new total at once (the Messages icon's badge follows it).
  std::function<void(std::int64_t)> onTotalChanged;

  // Internal to the classes: one message, or every message up to and including it, is read.
  void markRead(const std::string& chat, std::uint64_t serial, bool upTo);
  void detach(std::uint64_t id);

 private:
  struct Chat {
    std::set<std::uint64_t> unread;  // message serials, oldest first
    std::uint64_t nextSerial = 1;
  };
  // Tells every registry of the current total, each on its process's main queue.
  void announce();

  timeline::Timeline& timeline_;
  std::map<std::string, Chat, std::less<>> chats_;
  std::map<std::uint64_t, MessagingClasses*> attached_;
  std::uint64_t nextId_ = 1;
};

}  // namespace qv::messaging

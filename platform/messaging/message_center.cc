#include "platform/messaging/message_center.h"

#include "platform/host/messages.h"

namespace qv::messaging {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

struct RegistryObject final : Object {
  using Object::Object;
  MessagingClasses* owner = nullptr;
};
struct ChatObject final : Object {
  using Object::Object;
  MessagingClasses* owner = nullptr;
  std::string name;
};
struct MessageObject final : Object {
  using Object::Object;
  std::string chat;
  std::uint64_t serial = 0;
};

template <class T>
Id make(objc::Class* cls) {
  return std::make_shared<T>(cls);
}

// The chat's own work at a mark: tell the service, which tells every registry later.
void markOnService(Object* self, const Id& message, bool upTo) {
  auto* chat = objc::as<ChatObject>(self);
  auto* m = objc::as<MessageObject>(message);
  if (!chat || !m || m->chat != chat->name) return;
  chat->owner->center().markRead(chat->name, m->serial, upTo);
}

std::string plural(std::int64_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

MessagingClasses::MessagingClasses(MessageCenter& center, host::Host& host, std::uint64_t id)
    : center_(center), host_(host), id_(id) {
  objc::Runtime& rt = host.runtime();
  objc::Class* root = rt.rootClass();
  objc::Class* registryClass = rt.defineClass("IMChatRegistry", root, &make<RegistryObject>);
  chatClass_ = rt.defineClass("IMChat", root, &make<ChatObject>);
  messageClass_ = rt.defineClass("IMMessage", root, &make<MessageObject>);
  if (registryClass) {
    registry_ = registryClass->instantiate();
    objc::as<RegistryObject>(registry_)->owner = this;
    rt.addClassMethod<Id()>(
        registryClass, msg::sharedInstance.sel,
        [](void* ctx, Object*, Sel) { return static_cast<MessagingClasses*>(ctx)->registry(); }, this);
    rt.addMethod<void(std::int64_t)>(registryClass, msg::unreadCountChanged.sel,
                                     [](void*, Object* self, Sel, std::int64_t n) {
                                       if (auto* r = objc::as<RegistryObject>(self)) r->owner->heard_ = n;
                                     });
    rt.addMethod<std::int64_t()>(registryClass, msg::unreadCount.sel, [](void*, Object* self, Sel) -> std::int64_t {
      auto* r = objc::as<RegistryObject>(self);
      return r ? r->owner->heardCount() : 0;
    });
  }
  if (chatClass_) {
    rt.addMethod<void(Id)>(chatClass_, msg::markMessageAsRead.sel,
                           [](void*, Object* self, Sel, Id message) { markOnService(self, message, false); });
    rt.addMethod<void(Id)>(chatClass_, msg::markMessagesAsRead.sel,
                           [](void*, Object* self, Sel, Id newest) { markOnService(self, newest, true); });
  }
}

MessagingClasses::~MessagingClasses() {
  center_.detach(id_);
}

Id MessagingClasses::chat(const std::string& name) {
  auto it = chats_.find(name);
  if (it != chats_.end()) return it->second;
  Id chat = chatClass_ ? chatClass_->instantiate() : nullptr;
  if (auto* c = objc::as<ChatObject>(chat)) {
    c->owner = this;
    c->name = name;
  }
  chats_.emplace(name, chat);
  return chat;
}

Id MessagingClasses::makeMessage(const std::string& chat, std::uint64_t serial) {
  Id message = messageClass_ ? messageClass_->instantiate() : nullptr;
  if (auto* m = objc::as<MessageObject>(message)) {
    m->chat = chat;
    m->serial = serial;
  }
  return message;
}

void MessagingClasses::tell(std::int64_t total) {
  host::send(registry_, msg::unreadCountChanged, total);
}

std::unique_ptr<MessagingClasses> MessageCenter::attach(host::Host& host) {
  const std::uint64_t id = nextId_++;
  auto classes = std::make_unique<MessagingClasses>(*this, host, id);
  attached_.emplace(id, classes.get());
  classes->heard_ = unreadCount();
  return classes;
}

void MessageCenter::detach(std::uint64_t id) {
  attached_.erase(id);
}

Status MessageCenter::arrive(const std::string& chat, std::int64_t count) {
  if (chat.empty()) return Error{"a message needs a chat"};
  if (count < 1)
    return Error{"messages arriving in " + chat + ": the count must be at least 1, not " + std::to_string(count)};
  Chat& c = chats_[chat];
  for (std::int64_t i = 0; i < count; ++i) c.unread.insert(c.nextSerial++);
  timeline_.record("imagent", timeline::Kind::Host, "messages",
                   plural(count, "new message") + " in " + chat + " (" + std::to_string(unreadCount()) + " unread)");
  announce();
  return Ok{};
}

Status MessageCenter::read(MessagingClasses& reader, const std::string& chat, std::optional<std::int64_t> count) {
  auto it = chats_.find(chat);
  const std::int64_t unreadHere = it == chats_.end() ? 0 : static_cast<std::int64_t>(it->second.unread.size());
  if (unreadHere == 0) return Error{"no unread messages in " + chat};
  const std::int64_t n = count.value_or(unreadHere);
  if (n < 1 || n > unreadHere)
    return Error{"cannot read " + std::to_string(n) + " of the " + plural(unreadHere, "unread message") + " in " +
                 chat};
  auto newest = std::next(it->second.unread.begin(), n - 1);
  Id message = reader.makeMessage(chat, *newest);
  Id chatObject = reader.chat(chat);
  if (n == 1)
    host::send(chatObject, msg::markMessageAsRead, message);
  else
    host::send(chatObject, msg::markMessagesAsRead, message);
  reader.host().timeline().record(
      reader.host().processName(), timeline::Kind::Host, "messages",
      "read " + plural(n, "message") + " in " + chat + " (" + std::to_string(unreadCount()) + " unread)");
  return Ok{};
}

std::int64_t MessageCenter::unreadCount() const {
  std::int64_t total = 0;
  for (const auto& [name, chat] : chats_) total += static_cast<std::int64_t>(chat.unread.size());
  return total;
}

std::int64_t MessageCenter::unread(std::string_view chat) const {
  auto it = chats_.find(chat);
  return it == chats_.end() ? 0 : static_cast<std::int64_t>(it->second.unread.size());
}

void MessageCenter::markRead(const std::string& chat, std::uint64_t serial, bool upTo) {
  auto it = chats_.find(chat);
  if (it == chats_.end()) return;
  std::set<std::uint64_t>& unread = it->second.unread;
  const std::size_t before = unread.size();
  if (upTo)
    unread.erase(unread.begin(), unread.upper_bound(serial));
  else
    unread.erase(serial);
  if (unread.size() != before) announce();
}

void MessageCenter::announce() {
  const std::int64_t total = unreadCount();
  if (onTotalChanged) onTotalChanged(total);
  for (const auto& [id, classes] : attached_) {
    host::Host& host = classes->host();
    host.scheduler().async(host.mainQueue(), [this, id = id, total] {
      auto it = attached_.find(id);
      if (it != attached_.end()) it->second->tell(total);
    });
  }
}

std::vector<std::string> MessageCenter::chatsWithUnread() const {
  std::vector<std::string> out;
  for (const auto& [name, chat] : chats_)
    if (!chat.unread.empty()) out.push_back(name);
  return out;
}

}  // namespace qv::messaging

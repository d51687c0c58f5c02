#include "platform/springboard/bulletin_server.h"

#include <algorithm>
#include <optional>

#include "platform/host/messages.h"
#include "platform/springboard/bulletins.h"
#include "platform/springboard/internal/classes.h"

namespace qv::springboard {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

BulletinServer* serverOf(void* ctx) {
  return static_cast<BulletinServer*>(ctx);
}

// "WhatsApp — Anna: hi", the way a tester reads a posted notification, into `out` (reused: it
// keeps its room).
void describePost(const HomeScreen& home, const BulletinFields& f, std::string& out) {
  const std::string* name = home.displayNameOf(f.sectionID);
  out.assign(name ? *name : f.sectionID);
  out += " — ";
  out += f.title;
  if (!f.subtitle.empty()) out.append(": ").append(f.subtitle);
  if (!f.message.empty()) out.append(": ").append(f.message);
}

}  // namespace

BulletinServer::BulletinServer(host::Host& host, HomeScreen& home) : host_(host), home_(home) {
  objc::Runtime& rt = host.runtime();
  class_ = internal::defineRootClass(rt, "BBServer");
  rt.addMethod<Id()>(class_, msg::init.sel, [](void*, Object* self, Sel) { return self->self(); });
  rt.addMethod<void(Id, std::uint64_t, bool)>(
      class_, msg::publishBulletin.sel,
      [](void* ctx, Object*, Sel, Id bulletin, std::uint64_t destinations, bool alwaysToLockScreen) {
        serverOf(ctx)->published(bulletin, destinations, alwaysToLockScreen);
      },
      this);
}

const Id& BulletinServer::instance() {
  if (!instance_) instance_ = internal::allocInit(class_);
  return instance_;
}

void BulletinServer::publish(const Id& bulletin, std::uint64_t destinations, bool alwaysToLockScreen) {
  host::send(instance(), msg::publishBulletin, bulletin, destinations, alwaysToLockScreen);
}

void BulletinServer::published(const Id& bulletin, std::uint64_t destinations, bool alwaysToLockScreen) {
  auto* b = dynamic_cast<BulletinObject*>(bulletin.get());
  if (!b) return;
  BulletinFields& f = b->fields;
  if (f.bulletinID.empty()) f.bulletinID = "bulletin-" + std::to_string(nextBulletinNumber_++);
  if (bulletins_.emplace(bulletin.get(), bulletin).second) bySection_[f.sectionID].push_back(bulletin.get());
  if (host_.timeline().active()) {
    describePost(home_, f, text_);
    host_.timeline().record(host_.processName(), timeline::Kind::NotificationPosted, "notification posted", text_,
                            {{"id", timeline::Borrowed{f.bulletinID}},
                             {"app", timeline::Borrowed{f.sectionID}},
                             {"title", timeline::Borrowed{f.title}},
                             {"subtitle", timeline::Borrowed{f.subtitle}},
                             {"message", timeline::Borrowed{f.message}}});
  }

  std::uint64_t feeds = 0;
  if (home_.locked()) {
    feeds = kFeedLockScreen;
  } else {
    feeds = kFeedNotificationCentre;
    if (!(appInFront && appInFront(f.sectionID))) feeds |= kFeedBanner;
    if (alwaysToLockScreen) feeds |= kFeedLockScreen;
  }
  feeds &= destinations | (alwaysToLockScreen ? kFeedLockScreen : 0);
  if (feeds && deliver) deliver(bulletin, feeds);
  forgetOldest(f.sectionID);
}

void BulletinServer::forgetOldest(const std::string& sectionID) {
  for (;;) {
    auto section = bySection_.find(sectionID);
    if (section == bySection_.end() || section->second.size() <= kBulletinsKeptPerApp) return;
    const Object* oldest = section->second.front();
    section->second.pop_front();
    auto held = bulletins_.find(oldest);
    if (held != bulletins_.end()) forget(held);
  }
}

void BulletinServer::withdraw(const Id& bulletin) {
  auto held = bulletins_.find(bulletin.get());
  if (held == bulletins_.end()) return;
  if (const BulletinFields* f = bulletinFields(bulletin)) {
    auto section = bySection_.find(f->sectionID);
    if (section != bySection_.end()) {
      // Listed once, and mostly among the oldest.
      auto listed = std::find(section->second.begin(), section->second.end(), bulletin.get());
      if (listed != section->second.end()) section->second.erase(listed);
      if (section->second.empty()) bySection_.erase(section);
    }
  }
  forget(held);
}

void BulletinServer::forget(std::map<const Object*, Id>::iterator held) {
  Id keep = std::move(held->second);
  bulletins_.erase(held);
  if (removed) removed(keep);
}

bool BulletinServer::holds(const Object* bulletin) const {
  return bulletins_.count(bulletin) != 0;
}

}  // namespace qv::springboard

// libFuzzer target for notifications: bulletins of any section id, category id and context shape
// go through every entry point of the classification rules on a new device of any system range
// — publication and the lock-screen add (iOS 7 to 9) or the request rules (iOS 10) through the
// host's own hooks, each entry point called directly as well, the WhatsApp local-notification
// rules, the removal and action rules, app activation — mixed with locks, quiet mode, settings
// and time passing. Nothing may crash, trip a sanitizer or throw into the host.
// Input layout (fuzz/fuzz_input.h): release, settings switches, then up to 48 steps.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "intake/classification.h"
#include "sim/world.h"

namespace {

using namespace qv;
using namespace std::chrono_literals;

constexpr const char* kSwitches[] = {"imCalWats", "imSMSWats", "imCalFBMess", "imSMSFBMess", "imSMSTeleg",
                                     "thremaIm",  "ViperImCall", "ViperImMess", "globalMail", "otherEnabled",
                                     "showStatus", "showBanner", "globalSMS", "globalCall", "globalIm"};

pl::Dict settingsFrom(fuzz::FuzzInput& in) {
  pl::Dict s;
  const std::uint8_t off = in.byte();  // each bit turns one switch off; most seeds keep them on
  for (std::size_t i = 0; i < std::size(kSwitches); ++i) s[kSwitches[i]] = i >= 8 || !(off & (1u << i));
  s["otherApplications"] = pl::Array{pl::Value(in.text()), pl::Value("com.example.Chat")};
  s["smsInt"] = pl::Value(std::int64_t{in.below(90)});
  return s;
}

intake::IntakeNotification noteFrom(fuzz::FuzzInput& in) {
  intake::IntakeNotification note;
  note.sectionID = in.text();
  if (in.flag()) note.categoryIdentifier = in.text();
  if (in.flag()) note.context = in.dict();
  if (in.flag()) {
    note.title = in.text();
    note.recordID = in.text();
  }
  return note;
}

// One world for the whole run, reset before each input (a new device for each, at a fraction of
// the cost of building one; tests/sim/world_reset_test.cc holds that a reset world is a new one).
sim::World& resetWorld(const sim::WorldConfig& config) {
  static auto* world = new sim::World(config);
  world->reset(config);
  return *world;
}

class Device {
 public:
  explicit Device(fuzz::FuzzInput& in) : in_(in), world_(resetWorld(config(in))) {
    world_.writeSettings(settingsFrom(in));
    world_.runFor(11s);  // intake opens 10 s after the launch
  }

  void step() {
    springboard::Notifications& notes = world_.notifications();
    switch (in_.below(16)) {
      case 0: {  // a bulletin of any shape, published through the server as a data provider would
        springboard::BulletinFields f;
        f.sectionID = in_.text();
        f.categoryID = in_.flag() ? in_.text() : "";
        f.context = in_.value();
        f.title = in_.text();
        f.recordID = f.bulletinID = in_.text();
        if (in_.flag()) f.actions["default"] = notes.bulletins().makeAction(in_.text());
        objc::Id bulletin = notes.bulletins().makeRequest(std::move(f));
        notes.addFromDataProvider(nullptr, bulletin, in_.flag());
        if (auto h = notes.handleOf(bulletin.get())) handles_.push_back(h);
        break;
      }
      case 1: {  // an app's notification as it arrives, payloads of any shape
        springboard::IncomingNotification n;
        n.bundleId = in_.text();
        if (n.bundleId.empty()) n.bundleId = "com.example.Chat";
        n.categoryIdentifier = in_.text();
        if (in_.flag()) n.remotePayload = in_.dict();
        if (in_.flag()) n.localPayload = in_.dict();
        if (in_.flag()) n.badge = static_cast<std::int8_t>(in_.byte());
        n.firedLocalNotification = in_.flag();
        handles_.push_back(notes.deliver(n));
        break;
      }
      case 2: notes.removeFromLockScreen(pickHandle()); break;
      case 3: notes.actOn(pickHandle(), in_.flag() ? springboard::kOriginLockScreen : in_.text()); break;
      case 4: notes.activateApp(in_.text()); break;
      case 5: {  // the home screen fires an app's local notification
        objc::Id local = notes.bulletins().makeLocalNotification(in_.dict(), in_.text());
        notes.applications().fireLocalNotification(in_.text(), local);
        break;
      }
      case 6: intake::classifyPublishedBulletin(world_.library(), noteFrom(in_)); break;
      case 7: intake::classifyLockScreenBulletin(world_.library(), noteFrom(in_)); break;
      case 8: intake::classifyNotificationRequest(world_.library(), noteFrom(in_)); break;
      case 9: {
        const bool none = in_.flag();
        const pl::Dict userInfo = in_.dict();
        intake::classifyWhatsAppLocalNotification(world_.library(), none ? nullptr : &userInfo);
        break;
      }
      case 10: world_.home().lock(); break;
      case 11: world_.home().unlock(); break;
      case 12: world_.home().autoLock(); break;
      case 13: world_.home().setQuietMode(in_.flag()); break;
      case 14: notes.tapBanner(); break;
      default: world_.runFor(std::chrono::seconds(in_.byte())); break;
    }
  }

  void finish() { world_.runFor(150s); }

 private:
  static sim::WorldConfig config(fuzz::FuzzInput& in) {
    const auto& releases = device::knownReleases();
    sim::WorldConfig c;
    const std::uint8_t b = in.byte();
    c.release = releases[b % releases.size()].version;
    c.idiom = b & 0x80 ? device::Idiom::Pad : device::Idiom::Phone;
    c.startLocked = b & 0x40;
    return c;
  }
  springboard::NotificationHandle pickHandle() {
    if (handles_.empty()) return {};
    return handles_[in_.byte() % handles_.size()];
  }

  fuzz::FuzzInput& in_;
  sim::World& world_;
  std::vector<springboard::NotificationHandle> handles_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  Device device(in);
  for (int steps = 0; steps < 48 && !in.empty(); ++steps) device.step();
  device.finish();
  return 0;
}

#include "intake/lock_screen_intake.h"

#include <array>
#include <optional>

#include "alerts/home_state.h"
#include "core/missed_helper.h"
#include "core/registry.h"
#include "intake/app_blocks.h"
#include "intake/classification.h"
#include "intake/host_objects.h"
#include "intake/other_apps_intake.h"

namespace qv::intake {
namespace {

using core::Category;
namespace msg = host::msg;

constexpr std::string_view kCause = "removed from the lock screen";

// What a removal row looks at: the item's section id and the payloads of its bulletin.
struct Removal {
  core::Library& library;
  std::string id;
  IntakeNotification note;
  std::optional<Payloads> payloads;
  bool noRemote() const { return payloads->remote() == nullptr; }
  // Viber's category: the remote APS category, else the local "category".
  std::string_view viberCategory() { return noRemote() ? payloads->localCategory() : payloads->remoteApsCategory(); }
};

using Condition = bool (*)(Removal& r);

// One row: the section id, whether it needs the lock, what else it needs, and what it clears
// (none: post the call's clear notification instead).
struct RemovalRow {
  std::string_view id;
  bool whenLocked;
  Condition when;
  std::optional<Category> clears;
};

bool always(Removal&) {
  return true;
}
template <const std::string_view& Value>
bool remoteAps(Removal& r) {
  return r.payloads->remoteApsCategory() == Value;
}
template <const std::string_view& Key>
bool localHas(Removal& r) {
  return r.noRemote() && r.payloads->localHas(Key);
}
template <const std::string_view& Value>
bool localAps(Removal& r) {
  return r.noRemote() && r.payloads->localApsCategory() == Value;
}
template <const std::string_view& Value>
bool viber(Removal& r) {
  return r.viberCategory() == Value;
}

constexpr std::string_view kMissedCall = "missed-call";
constexpr std::string_view kJid = "jid";
constexpr std::string_view kMissedCallJid = "missed-call-jid";
constexpr std::string_view kViberMessage = "CAT_INCOMING_MESSAGE";
constexpr std::string_view kViberMissedCall = "CAT_MISSED_CALL";

const std::array kRemovalRows = {
    RemovalRow{kPhoneSection, true, &always, std::nullopt},
    RemovalRow{kFaceTimeSection, true, &always, std::nullopt},
    RemovalRow{kSmsSection, true, &always, Category::Sms},
    RemovalRow{kWhatsAppSection, true, &remoteAps<kMissedCall>, Category::WhatsAppCall},
    RemovalRow{kWhatsAppSection, true, &localHas<kJid>, Category::WhatsAppMessage},
    RemovalRow{kWhatsAppSection, true, &localHas<kMissedCallJid>, Category::WhatsAppCall},
    RemovalRow{kMessengerSection, true, &remoteAps<kMessengerCallBack>, Category::MessengerCall},
    RemovalRow{kMessengerSection, true, &remoteAps<kMessengerReplyMute>, Category::MessengerMessage},
    RemovalRow{kMessengerSection, true, &localAps<kMessengerReplyMute>, Category::MessengerMessage},
    RemovalRow{kMessengerSection, true, &localAps<kMessengerCallBack>, Category::MessengerCall},
    RemovalRow{kTelegramSection, true, &always, Category::TelegramMessage},
    RemovalRow{kThreemaSection, true, &always, Category::ThreemaMessage},
    RemovalRow{kViberSection, true, &viber<kViberMessage>, Category::ViberMessage},
    RemovalRow{kViberSection, true, &viber<kViberMissedCall>, Category::ViberCall},
    RemovalRow{kMailSection, false, &always, Category::Mail},
};

bool ignoredKind(const objc::Object* item) {
  for (const char* kind :
       {"SBSnoozedAlarmListItem", "SBAwaySystemAlertItem", "SBAwayCardListItem", "SBSnoozedAlarmBulletinListItem"})
    if (host::isKindOf(item, kind)) return true;
  return false;
}

// A reminder that reached its limit keeps its icon with an empty timer field: the removal
// clears it as well, or the icon would stay for good.
void clearFixed(core::Library& library, Category c) {
  if (!core::reminderPending(library, c)) return;
  if (library.host.timeline().wantsDecisions()) library.explain(core::info(c).name, "cleared: " + std::string(kCause));
  clear(library, c);
}

void applyRow(Removal& r, const RemovalRow& row) {
  if (row.clears) return clearFixed(r.library, *row.clears);
  r.library.explain(core::info(Category::Call).name, "clear asked by notification: " + std::string(kCause));
  r.library.host.notifyPost(core::info(Category::Call).clearNotification);
}

}  // namespace

std::string identifierForListItem(const objc::Object* item) {
  if (host::isKindOf(item, "SBAwayBulletinListItem") || host::isKindOf(item, "SBSnoozedAlarmBulletinListItem"))
    return ask(ask(item, msg::activeBulletin), msg::sectionID);
  if (host::isKindOf(item, "SBAwayCardListItem")) return ask(ask(item, msg::cardItem), msg::identifier);
  if (host::isKindOf(item, "SBAwaySystemAlertItem")) return "systemAlert";
  return "noIdentifier";
}

void clearOnLockScreenRemoval(core::Library& library, const Id& item) {
  if (!library.settings.flag(core::Key::globalEnabled)) {
    library.explain("lock screen", "removal clears nothing: global switch off");
    return;
  }
  if (ignoredKind(item.get())) return;
  Removal r{library, identifierForListItem(item.get()), {}, std::nullopt};
  r.note.context = dictionaryValueOf(ask(ask(item, msg::activeBulletin), msg::context));
  r.payloads.emplace(library.host, r.note);
  for (const RemovalRow& row : kRemovalRows) {
    if (row.id != r.id) continue;
    if (row.whenLocked && !alerts::uiLocked(library)) continue;
    if (row.when(r)) applyRow(r, row);
  }
  if (library.settings.listsApp(r.id) && listedAppClearable(library, r.id) && alerts::uiLocked(library))
    clearListedAppReminder(library, r.id, kCause);
}

void publishBulletinHook(core::Library& library, const objc::Slot<void(Id, std::uint64_t, bool)>& previous,
                         objc::Object* self, objc::Sel sel, Id bulletin, std::uint64_t destinations,
                         bool alwaysToLockScreen) {
  classifyPublishedBulletin(library, recordOfBulletin(bulletin));
  previous(self, sel, std::move(bulletin), destinations, alwaysToLockScreen);
}

void loadViewHook(core::Library& library, const objc::Slot<void()>& previous, objc::Object* self, objc::Sel sel) {
  previous(self, sel);
  library.exported.notificationListController = self->weak_from_this().lock();
}

void addBulletinHook(core::Library& library, const objc::Slot<void(Id, Id, std::uint64_t, bool, Block)>& previous,
                     objc::Object* self, objc::Sel sel, Id observer, Id bulletin, std::uint64_t feed,
                     bool playLightsAndSirens, Block reply) {
  previous(self, sel, std::move(observer), bulletin, feed, playLightsAndSirens, std::move(reply));
  classifyLockScreenBulletin(library, recordOfBulletin(bulletin));
}

void removeItemHook(core::Library& library, const objc::Slot<void(Id, bool)>& previous, objc::Object* self,
                    objc::Sel sel, Id item, bool updateView) {
  clearOnLockScreenRemoval(library, item);
  previous(self, sel, std::move(item), updateView);
}

}  // namespace qv::intake

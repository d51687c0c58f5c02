#include "intake/intake_notification.h"

#include "alerts/banner.h"

namespace qv::intake {

const pl::Dict& IntakeNotification::contextDict() const {
  static const pl::Dict kEmpty;
  const pl::Dict* d = context.ifDict();
  return d ? *d : kEmpty;
}

bool isOwnReminderBulletin(const IntakeNotification& note) {
  using alerts::kBulletinTitle, alerts::kRecordIdSuffix;
  return note.title == kBulletinTitle && note.recordID.size() == note.sectionID.size() + kRecordIdSuffix.size() &&
         note.recordID.starts_with(note.sectionID) && note.recordID.ends_with(kRecordIdSuffix);
}

std::string_view stringEntry(const pl::Dict* payload, std::string_view key) {
  const std::string* s = payload ? pl::findString(*payload, key) : nullptr;
  return s ? std::string_view(*s) : std::string_view();
}

bool hasKey(const pl::Dict* payload, std::string_view key) {
  return payload && payload->find(key) != payload->end();
}

std::string_view apsCategory(const pl::Dict* payload) {
  return stringEntry(payload ? pl::findDict(*payload, "aps") : nullptr, "category");
}

const pl::Dict* Payloads::remote() const {
  return pl::findDict(note_.contextDict(), "remoteNotification");
}

const pl::Dict* Payloads::local() {
  if (!decoded_) {
    decoded_ = true;
    if (const pl::Data* archive = pl::findData(note_.contextDict(), "localNotification"))
      local_ = host_.unarchiveLocalNotificationUserInfo(*archive);
  }
  return local_ ? &*local_ : nullptr;
}

std::string_view Payloads::remoteApsCategory() const {
  return apsCategory(remote());
}
std::string_view Payloads::localCategory() {
  return stringEntry(local(), "category");
}
std::string_view Payloads::localApsCategory() {
  return apsCategory(local());
}

bool Payloads::localHas(std::string_view key) {
  return hasKey(local(), key);
}

}  // namespace qv::intake

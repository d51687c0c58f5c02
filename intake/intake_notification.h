// The record the intake hooks hand to the classification rules, and the payload views read from
// its context. Every lookup of a value is typed: a value of another type reads as absent (an
// "aps" that is a string, a "type" that is a number, a "localNotification" that is no archive);
// a rule that asks only whether a key is there finds it whatever its type. The local payload
// is unarchived once, on first use.
//   Payloads p{host, note};  if (p.remoteApsCategory() == "missed-call") ...
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/host/host.h"
#include "platform/objc/runtime.h"
#include "platform/plist/value.h"

namespace qv::intake {

struct IntakeNotification {
  std::string sectionID{};
  std::optional<std::string> categoryIdentifier{};  // iOS 10 requests only
  // A dictionary, shared with the object it was read from; else null (absent).
  pl::Value context{};
  objc::Id defaultAction{};  // the actions entry "default", or null
  // Only to tell our own lock-screen reminder bulletins from the apps' notifications.
  std::string title{};
  std::string recordID{};

  // The context, empty when absent.
  const pl::Dict& contextDict() const;
  // The context as it is saved for the lock-screen re-post: null when absent.
  const pl::Value& savedContextValue() const { return context; }
};

// Whether a record is one of the reminder bulletins this system posts to the lock screen itself
// (title "Quorvel", record identifier = section identifier + "/banner").
bool isOwnReminderBulletin(const IntakeNotification& note);

// The payloads inside a record's context.
class Payloads {
 public:
  Payloads(host::Host& host, const IntakeNotification& note) : host_(host), note_(note) {}
  Payloads(const Payloads&) = delete;
  Payloads& operator=(const Payloads&) = delete;

  // The context entry "remoteNotification" when it is a dictionary.
  const pl::Dict* remote() const;
  // The userInfo of the local notification archived in the context entry "localNotification";
  // null when that entry is missing, not data, or does not unarchive.
  const pl::Dict* local();

  // "aps" then "category" of the remote payload; "" when either is missing or mistyped.
  std::string_view remoteApsCategory() const;
  // "category" of the local payload.
  std::string_view localCategory();
  // "aps" then "category" of the local payload.
  std::string_view localApsCategory();
  // Whether the local payload holds `key`, whatever its value's type.
  bool localHas(std::string_view key);

 private:
  host::Host& host_;
  const IntakeNotification& note_;
  bool decoded_ = false;
  std::optional<pl::Dict> local_;
};

// "aps" then "category" of a payload dictionary; "" when missing or mistyped.
std::string_view apsCategory(const pl::Dict* payload);
// A string entry of a payload; "" when missing or mistyped.
std::string_view stringEntry(const pl::Dict* payload, std::string_view key);
// Whether a payload holds `key`, whatever its value's type (the rules that ask only whether a
// key is there: "jid", "missed-call-jid", "incoming-call-jid").
bool hasKey(const pl::Dict* payload, std::string_view key);

}  // namespace qv::intake

// Keyed archives (the object-graph property lists with "$archiver", "$top", "$objects" and
// uid references) decoded into plain values, and written for our own local notifications.
// Reading never crashes on hostile bytes; cycles and bad references are errors. Thread-safe.
//   auto info = pl::localNotificationUserInfo(payload);  // std::nullopt unless a real userInfo
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/plist/io.h"
#include "platform/plist/value.h"
#include "platform/result.h"

namespace qv::pl {

// The root object ("$top" key "root", else "$0", else the first key) as a plain value:
// dictionaries, arrays and sets, strings, data and dates become their pl counterparts, "$null"
// becomes a null value, and any other class becomes a Dict of its decoded fields plus
// "$classname". Limits bound nesting and the expanded size of the result.
Result<Value> unarchive(std::span<const std::uint8_t> bytes, ReadLimits limits = {});

// The userInfo of an archived UILocalNotification (or subclass): from
// "_UILocalNotificationUserInfoData" (data holding a keyed archive or a plain property list of
// a dictionary, or an inline dictionary object), else from "userInfo". Nullopt for anything
// else, including a notification whose userInfo is nil.
std::optional<Dict> localNotificationUserInfo(std::span<const std::uint8_t> bytes);

// Fields of an archived local notification besides its userInfo; empty strings are nil.
struct LocalNotificationFields {
  std::string alertBody;
  std::optional<Date> fireDate;
  std::string timeZoneName;
  std::string soundName;
  std::int64_t applicationIconBadgeNumber = 0;
  std::int64_t repeatInterval = 0;
};

// A binary keyed archive of a UIConcreteLocalNotification carrying `userInfo` as a nested
// archive in "_UILocalNotificationUserInfoData", laid out as the device writes one. A userInfo
// that cannot be archived (see archive()) is left nil.
std::vector<std::uint8_t> archiveLocalNotification(const Dict& userInfo, const LocalNotificationFields& fields = {});

// A binary keyed archive of a plain value: Dict as NSDictionary, Array as NSArray, String as
// NSString, Data as NSData, Date as NSDate, numbers and booleans inline, null as "$null".
// Uids have no object form and are archived as their index number. Empty when a string is not
// valid UTF-8 or holds NUL, or when nesting passes kDepthCeiling.
std::vector<std::uint8_t> archive(const Value& root);

}  // namespace qv::pl

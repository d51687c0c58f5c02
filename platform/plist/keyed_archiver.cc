// Writing side of keyed_archive.h: builds the object table the way the device's archiver lays
// it out ("$null" first, containers before their elements, one entry per class, equal
// strings shared) and writes it as a binary property list.
#include <array>
#include <cstring>
#include <map>

#include "platform/plist/keyed_archive.h"

#include "platform/plist/internal/identical.h"

namespace qv::pl {
namespace {

using ClassChain = std::vector<std::string>;

const ClassChain kDictionaryClass = {"NSDictionary", "NSObject"};
const ClassChain kArrayClass = {"NSArray", "NSObject"};
const ClassChain kDataClass = {"NSData", "NSObject"};
const ClassChain kMutableDataClass = {"NSMutableData", "NSData", "NSObject"};
const ClassChain kDateClass = {"NSDate", "NSObject"};
const ClassChain kTimeZoneClass = {"NSTimeZone", "NSObject"};
const ClassChain kLocalNotificationClass = {"UIConcreteLocalNotification", "UILocalNotification", "NSObject"};

// Both fields the device writes as -2147483648 for a notification that does not repeat.
constexpr std::int64_t kNoRepeatCount = INT32_MIN;

class ArchiveBuilder {
 public:
  ArchiveBuilder() { objects_.push_back("$null"); }

  // The reference to `v` after adding it (and everything it holds) to the object table.
  std::optional<Uid> add(const Value& v, std::size_t depth = 0) {
    if (depth > kDepthCeiling) return std::nullopt;
    switch (v.type()) {
      case Value::Type::Null: return Uid{0};
      case Value::Type::String: return addString(*v.ifString());
      case Value::Type::Uid: return push(Value(static_cast<std::int64_t>(v.ifUid()->index)));
      case Value::Type::Bool:
      case Value::Type::Integer:
      case Value::Type::Real: return push(v);
      case Value::Type::Data: return addObject(kDataClass, {{"NS.data", v}});
      case Value::Type::Date: return addObject(kDateClass, {{"NS.time", v.ifDate()->sinceReference}});
      case Value::Type::Array: {
        const Uid self = push(Value());  // containers precede their elements
        Array elements;
        for (const Value& e : *v.ifArray()) {
          auto element = add(e, depth + 1);
          if (!element) return std::nullopt;
          elements.push_back(*element);
        }
        fill(self, kArrayClass, {{"NS.objects", std::move(elements)}});
        return self;
      }
      case Value::Type::Dict: {
        const Uid self = push(Value());
        Array keys, values;
        for (const auto& [key, e] : *v.ifDict()) {
          keys.push_back(addString(key));
          auto value = add(e, depth + 1);
          if (!value) return std::nullopt;
          values.push_back(*value);
        }
        fill(self, kDictionaryClass, {{"NS.keys", std::move(keys)}, {"NS.objects", std::move(values)}});
        return self;
      }
    }
    return std::nullopt;
  }

  Uid addString(const std::string& s) {
    if (auto it = strings_.find(s); it != strings_.end()) return it->second;
    const Uid uid = push(Value(s));
    strings_.emplace(s, uid);
    return uid;
  }

  Uid addObject(const ClassChain& chain, Dict fields) {
    const Uid self = push(Value());
    fill(self, chain, std::move(fields));
    return self;
  }

  Uid reserve() { return push(Value()); }

  void fill(Uid self, const ClassChain& chain, Dict fields) {
    fields.insert_or_assign("$class", classReference(chain));
    objects_[self.index] = Value(std::move(fields));
  }

  // The bytes of the finished archive rooted at `root`; empty if they cannot be written.
  std::vector<std::uint8_t> finish(Uid root) {
    const Value archive = Dict{
        {"$archiver", "NSKeyedArchiver"},
        {"$version", 100000},
        {"$top", Dict{{"root", root}}},
        {"$objects", std::move(objects_)},
    };
    auto bytes = serialize(archive, Format::Binary);
    return bytes ? std::move(*bytes) : std::vector<std::uint8_t>{};
  }

 private:
  Uid push(Value v) {
    objects_.push_back(std::move(v));
    return Uid{objects_.size() - 1};
  }

  Uid classReference(const ClassChain& chain) {
    if (auto it = classes_.find(chain.front()); it != classes_.end()) return it->second;
    const Uid uid = push(Dict{{"$classname", chain.front()}, {"$classes", Array(chain.begin(), chain.end())}});
    classes_.emplace(chain.front(), uid);
    return uid;
  }

  Array objects_;
  std::map<std::string, Uid> strings_;
  std::map<std::string, Uid> classes_;
};

Value optionalString(ArchiveBuilder& builder, const std::string& s) {
  return s.empty() ? Value(Uid{0}) : Value(builder.addString(s));
}

}  // namespace

std::vector<std::uint8_t> archive(const Value& root) {
  ArchiveBuilder builder;
  auto rootRef = builder.add(root);
  if (!rootRef) return {};
  return builder.finish(*rootRef);
}

namespace {

using internal::identical;

std::vector<std::uint8_t> buildLocalNotification(const Dict& userInfo, const LocalNotificationFields& fields);

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool identical(const LocalNotificationFields& a, const LocalNotificationFields& b) {
  return a.alertBody == b.alertBody && a.fireDate.has_value() == b.fireDate.has_value() &&
         (!a.fireDate || sameBits(a.fireDate->sinceReference, b.fireDate->sinceReference)) &&
         a.timeZoneName == b.timeZoneName && a.soundName == b.soundName &&
         a.applicationIconBadgeNumber == b.applicationIconBadgeNumber && a.repeatInterval == b.repeatInterval;
}

// The simulator delivers the same few payloads again and again, and archiving one costs as much
// as a settings reload. The archive is a pure function of its inputs, so the last few are kept
// per thread (bounded in number and size) and their bytes handed out again.
constexpr std::size_t kRememberedArchives = 64;
constexpr std::size_t kLargestRememberedArchive = 16 * 1024;

struct RememberedArchive {
  Dict userInfo;
  LocalNotificationFields fields;
  std::vector<std::uint8_t> bytes;
  bool used = false;
};

}  // namespace

std::vector<std::uint8_t> archiveLocalNotification(const Dict& userInfo, const LocalNotificationFields& fields) {
  thread_local std::array<RememberedArchive, kRememberedArchives> remembered;
  thread_local std::size_t next = 0;
  for (const RememberedArchive& r : remembered)
    if (r.used && identical(r.fields, fields) && identical(r.userInfo, userInfo)) return r.bytes;
  std::vector<std::uint8_t> bytes = buildLocalNotification(userInfo, fields);
  if (bytes.size() <= kLargestRememberedArchive) {
    RememberedArchive& slot = remembered[next];
    next = (next + 1) % kRememberedArchives;
    slot = RememberedArchive{userInfo, fields, bytes, true};
  }
  return bytes;
}

namespace {

std::vector<std::uint8_t> buildLocalNotification(const Dict& userInfo, const LocalNotificationFields& fields) {
  ArchiveBuilder builder;
  const Uid self = builder.reserve();
  const std::vector<std::uint8_t> userInfoArchive = archive(Value(userInfo));
  const Value userInfoData = userInfoArchive.empty()
                                 ? Value(Uid{0})
                                 : Value(builder.addObject(kMutableDataClass, {{"NS.data", Data(userInfoArchive)}}));
  const Value fireDate = fields.fireDate ? Value(*builder.add(Value(*fields.fireDate))) : Value(Uid{0});
  const Value timeZone = fields.timeZoneName.empty()
                             ? Value(Uid{0})
                             : Value(builder.addObject(kTimeZoneClass, {{"NS.name", builder.addString(fields.timeZoneName)}}));
  Dict notification = {
      {"_UILocalNotificationFireDate", fireDate},
      {"_UILocalNotificationTimeZone", timeZone},
      {"_UILocalNotificationAlertBody", optionalString(builder, fields.alertBody)},
      {"_UILocalNotificationAlertAction", Uid{0}},
      {"_UILocalNotificationAlertTitle", Uid{0}},
      {"_UILocalNotificationAlertLaunchImage", Uid{0}},
      {"_UILocalNotificationSoundName", optionalString(builder, fields.soundName)},
      {"_UILocalNotificationSoundType", 0},
      {"_UILocalNotificationApplicationIconBadgeNumber", fields.applicationIconBadgeNumber},
      {"_UILocalNotificationRepeatInterval", fields.repeatInterval},
      {"_UILocalNotificationRepeatCalendar", Uid{0}},
      {"_UILocalNotificationRemainingRepeatCount", kNoRepeatCount},
      {"_UILocalNotificationTotalRepeatCount", kNoRepeatCount},
      {"_UILocalNotificationHasAction", true},
      {"_UILocalNotificationAllowSnooze", false},
      {"_UILocalNotificationIsTransient", false},
      {"_UILocalNotificationFromSnooze", false},
      {"_UILocalNotificationHideAlertTitle", false},
      {"_UILocalNotificationCategoryKey", Uid{0}},
      {"_UILocalNotificationUserInfoData", userInfoData},
  };
  builder.fill(self, kLocalNotificationClass, std::move(notification));
  return builder.finish(self);
}

}  // namespace

}  // namespace qv::pl

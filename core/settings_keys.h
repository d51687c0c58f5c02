// Every settings key the system reads or writes, with the rule that reads it and its default:
// one table, indexed by Key. The settings pane writes these into the domain
// "com.tarnwick.quorvel" and posts "com.tarnwick.quorvel/changed".
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qv::core {

inline constexpr std::string_view kSettingsDomain = "com.tarnwick.quorvel";
inline constexpr std::string_view kSettingsChangedNotification = "com.tarnwick.quorvel/changed";
inline constexpr std::string_view kSettingsFileTestedAtStartup =
    "/private/var/mobile/Library/Preferences/com.tarnwick.quorvel.plist";
inline constexpr std::string_view kSettingsFileUnderHome = "/Library/Preferences/com.tarnwick.quorvel.plist";
inline constexpr std::int64_t kUnlimitedRepeats = 99999999;

// How a key is read. A value of the wrong type always reads as absent.
enum class Rule : std::uint8_t {
  FlagDefaultOn,   // absent: on; present: its boolean
  FlagDefaultOff,  // on only when present and true
  Count,           // its integer; 0 (absent, zero, not a number) gives the default. A count
                   // below 1 lets the reminder alert once, as 1 does.
  Interval,        // as Count, but any value of 0 or less gives the default
  Hour,            // as Count, but a value outside 0-23 gives the default (the active window)
  Minute,          // as Count, but a value outside 0-59 gives the default
  String,          // the string; absent gives the default
  StringList,      // an array of strings; absent gives an empty list
  WrittenOnly,     // written at first launch, never read
};

enum class Key : std::uint8_t {
  globalEnabled, globalSMS, globalMail, globalCall, globalIm,
  imCalWats, imSMSWats, imCalFBMess, imSMSFBMess, imSMSTeleg, thremaIm, ViperImCall, ViperImMess,
  otherEnabled, otherApplications, showStatus,
  smsInt, phInt, mailInt, imInt, otherInt,
  smsCount, phCount, mailCount, imCount, otherCount,
  soundsms, soundCall, soundMail, soundIm, soundOther,
  currentSMSSound, currentCallSound, currentMailSound, currentIMSound, currentOtherSound,
  vibesms, vibeCall, vibeMail, vibeIm, vibeOther,
  torchSmS, torchCall, torchMail, torchIm, torchOther,
  locktorchSmS, locktorchC, locktorchM, locktorchIm, locktorchOther,
  unSmS, unCaLL, unMAil, unIM, unOther,
  showBanner,
  fromHour, fromMin, toHour, toMin,
  firstRun,
  count_
};

struct SettingKey {
  Key key;
  std::string_view name;
  Rule rule;
  std::int64_t numberDefault = 0;
  std::string_view stringDefault = {};
};

inline constexpr std::string_view kDefaultSound = "SMS 3.caf";

inline constexpr std::array<SettingKey, static_cast<std::size_t>(Key::count_)> kSettingKeys = {{
    {Key::globalEnabled, "globalEnabled", Rule::FlagDefaultOn},
    {Key::globalSMS, "globalSMS", Rule::FlagDefaultOn},
    {Key::globalMail, "globalMail", Rule::FlagDefaultOff},
    {Key::globalCall, "globalCall", Rule::FlagDefaultOn},
    {Key::globalIm, "globalIm", Rule::FlagDefaultOn},
    {Key::imCalWats, "imCalWats", Rule::FlagDefaultOff},
    {Key::imSMSWats, "imSMSWats", Rule::FlagDefaultOff},
    {Key::imCalFBMess, "imCalFBMess", Rule::FlagDefaultOff},
    {Key::imSMSFBMess, "imSMSFBMess", Rule::FlagDefaultOff},
    {Key::imSMSTeleg, "imSMSTeleg", Rule::FlagDefaultOff},
    {Key::thremaIm, "thremaIm", Rule::FlagDefaultOff},
    {Key::ViperImCall, "ViperImCall", Rule::FlagDefaultOff},
    {Key::ViperImMess, "ViperImMess", Rule::FlagDefaultOff},
    {Key::otherEnabled, "otherEnabled", Rule::FlagDefaultOff},
    {Key::otherApplications, "otherApplications", Rule::StringList},
    {Key::showStatus, "showStatus", Rule::FlagDefaultOff},
    {Key::smsInt, "smsInt", Rule::Interval, 60},
    {Key::phInt, "phInt", Rule::Interval, 60},
    {Key::mailInt, "mailInt", Rule::Interval, 60},
    {Key::imInt, "imInt", Rule::Interval, 60},
    {Key::otherInt, "otherInt", Rule::Interval, 60},
    {Key::smsCount, "smsCount", Rule::Count, kUnlimitedRepeats},
    {Key::phCount, "phCount", Rule::Count, kUnlimitedRepeats},
    {Key::mailCount, "mailCount", Rule::Count, kUnlimitedRepeats},
    {Key::imCount, "imCount", Rule::Count, kUnlimitedRepeats},
    {Key::otherCount, "otherCount", Rule::Count, kUnlimitedRepeats},
    {Key::soundsms, "soundsms", Rule::FlagDefaultOn},
    {Key::soundCall, "soundCall", Rule::FlagDefaultOn},
    {Key::soundMail, "soundMail", Rule::FlagDefaultOff},
    {Key::soundIm, "soundIm", Rule::FlagDefaultOn},
    {Key::soundOther, "soundOther", Rule::FlagDefaultOff},
    {Key::currentSMSSound, "currentSMSSound", Rule::String, 0, kDefaultSound},
    {Key::currentCallSound, "currentCallSound", Rule::String, 0, kDefaultSound},
    {Key::currentMailSound, "currentMailSound", Rule::String, 0, kDefaultSound},
    {Key::currentIMSound, "currentIMSound", Rule::String, 0, kDefaultSound},
    {Key::currentOtherSound, "currentOtherSound", Rule::String, 0, kDefaultSound},
    {Key::vibesms, "vibesms", Rule::FlagDefaultOn},
    {Key::vibeCall, "vibeCall", Rule::FlagDefaultOn},
    {Key::vibeMail, "vibeMail", Rule::FlagDefaultOff},
    {Key::vibeIm, "vibeIm", Rule::FlagDefaultOn},
    {Key::vibeOther, "vibeOther", Rule::FlagDefaultOff},
    {Key::torchSmS, "torchSmS", Rule::FlagDefaultOff},
    {Key::torchCall, "torchCall", Rule::FlagDefaultOn},
    {Key::torchMail, "torchMail", Rule::FlagDefaultOff},
    {Key::torchIm, "torchIm", Rule::FlagDefaultOff},
    {Key::torchOther, "torchOther", Rule::FlagDefaultOff},
    {Key::locktorchSmS, "locktorchSmS", Rule::FlagDefaultOff},
    {Key::locktorchC, "locktorchC", Rule::FlagDefaultOff},
    {Key::locktorchM, "locktorchM", Rule::FlagDefaultOff},
    {Key::locktorchIm, "locktorchIm", Rule::FlagDefaultOff},
    {Key::locktorchOther, "locktorchOther", Rule::FlagDefaultOff},
    {Key::unSmS, "unSmS", Rule::FlagDefaultOff},
    {Key::unCaLL, "unCaLL", Rule::FlagDefaultOff},
    {Key::unMAil, "unMAil", Rule::FlagDefaultOff},
    {Key::unIM, "unIM", Rule::FlagDefaultOff},
    {Key::unOther, "unOther", Rule::FlagDefaultOff},
    {Key::showBanner, "showBanner", Rule::FlagDefaultOn},
    {Key::fromHour, "fromHour", Rule::Hour, 0},
    {Key::fromMin, "fromMin", Rule::Minute, 0},
    {Key::toHour, "toHour", Rule::Hour, 23},
    {Key::toMin, "toMin", Rule::Minute, 59},
    {Key::firstRun, "firstRun", Rule::WrittenOnly},
}};

constexpr const SettingKey& settingKey(Key k) { return kSettingKeys[static_cast<std::size_t>(k)]; }

// The table is indexed by Key: every row must sit at its own key's index.
constexpr bool settingKeysInOrder() {
  for (std::size_t i = 0; i < kSettingKeys.size(); ++i)
    if (static_cast<std::size_t>(kSettingKeys[i].key) != i) return false;
  return true;
}
static_assert(settingKeysInOrder(), "kSettingKeys rows must follow the order of Key");

}  // namespace qv::core

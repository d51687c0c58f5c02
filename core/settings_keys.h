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
  std::string_view what;  // what it does, for the user (`quorvel-sim --list-settings`, docs/settings.md)
  std::int64_t numberDefault = 0;
  std::string_view stringDefault = {};
};

inline constexpr std::string_view kDefaultSound = "SMS 3.caf";

inline constexpr std::array<SettingKey, static_cast<std::size_t>(Key::count_)> kSettingKeys = {{
    {Key::globalEnabled, "globalEnabled", Rule::FlagDefaultOn,
     "master switch: off, no reminder starts and the auto-lock re-post and iPad banner adjustment stay out"},
    {Key::globalSMS, "globalSMS", Rule::FlagDefaultOn, "SMS and iMessage reminders may start"},
    {Key::globalMail, "globalMail", Rule::FlagDefaultOff, "mail reminders may start"},
    {Key::globalCall, "globalCall", Rule::FlagDefaultOn, "missed-call reminders may start"},
    {Key::globalIm, "globalIm", Rule::FlagDefaultOn,
     "WhatsApp reminders may start (the other messengers have their own switches only)"},
    {Key::imCalWats, "imCalWats", Rule::FlagDefaultOff, "a missed WhatsApp call starts a reminder"},
    {Key::imSMSWats, "imSMSWats", Rule::FlagDefaultOff, "a WhatsApp message starts a reminder"},
    {Key::imCalFBMess, "imCalFBMess", Rule::FlagDefaultOff, "a missed Messenger call starts a reminder"},
    {Key::imSMSFBMess, "imSMSFBMess", Rule::FlagDefaultOff, "a Messenger message starts a reminder"},
    {Key::imSMSTeleg, "imSMSTeleg", Rule::FlagDefaultOff, "a Telegram message starts a reminder"},
    {Key::thremaIm, "thremaIm", Rule::FlagDefaultOff, "a Threema message starts a reminder"},
    {Key::ViperImCall, "ViperImCall", Rule::FlagDefaultOff, "a missed Viber call starts a reminder"},
    {Key::ViperImMess, "ViperImMess", Rule::FlagDefaultOff, "a Viber message starts a reminder"},
    {Key::otherEnabled, "otherEnabled", Rule::FlagDefaultOff,
     "notifications of the listed apps (otherApplications) start reminders"},
    {Key::otherApplications, "otherApplications", Rule::StringList,
     "the listed apps: bundle identifiers whose notifications start a reminder each"},
    {Key::showStatus, "showStatus", Rule::FlagDefaultOff, "a status-bar icon shows each pending reminder"},
    {Key::smsInt, "smsInt", Rule::Interval, "seconds between two alerts of the SMS reminder", 60},
    {Key::phInt, "phInt", Rule::Interval, "seconds between two alerts of the missed-call reminder", 60},
    {Key::mailInt, "mailInt", Rule::Interval, "seconds between two alerts of the mail reminder", 60},
    {Key::imInt, "imInt", Rule::Interval,
     "seconds between two alerts of each messenger reminder (calls and messages)", 60},
    {Key::otherInt, "otherInt", Rule::Interval, "seconds between two alerts of each listed app's reminder", 60},
    {Key::smsCount, "smsCount", Rule::Count, "alerts of the SMS reminder before it stops", kUnlimitedRepeats},
    {Key::phCount, "phCount", Rule::Count, "alerts of the missed-call reminder before it stops", kUnlimitedRepeats},
    {Key::mailCount, "mailCount", Rule::Count, "alerts of the mail reminder before it stops", kUnlimitedRepeats},
    {Key::imCount, "imCount", Rule::Count, "alerts of each messenger reminder before it stops", kUnlimitedRepeats},
    {Key::otherCount, "otherCount", Rule::Count,
     "alerts of each listed app's reminder before it stops", kUnlimitedRepeats},
    {Key::soundsms, "soundsms", Rule::FlagDefaultOn,
     "the SMS reminder plays its sound (as every reminder, only while do not disturb is off)"},
    {Key::soundCall, "soundCall", Rule::FlagDefaultOn, "the missed-call reminder plays its sound"},
    {Key::soundMail, "soundMail", Rule::FlagDefaultOff, "the mail reminder plays its sound"},
    {Key::soundIm, "soundIm", Rule::FlagDefaultOn, "each messenger reminder plays its sound"},
    {Key::soundOther, "soundOther", Rule::FlagDefaultOff, "each listed app's reminder plays its sound"},
    {Key::currentSMSSound, "currentSMSSound", Rule::String,
     "the SMS reminder's sound file, in /Library/Application Support/Quorvel/Sounds/", 0, kDefaultSound},
    {Key::currentCallSound, "currentCallSound", Rule::String,
     "the missed-call reminder's sound file", 0, kDefaultSound},
    {Key::currentMailSound, "currentMailSound", Rule::String, "the mail reminder's sound file", 0, kDefaultSound},
    {Key::currentIMSound, "currentIMSound", Rule::String,
     "the sound file of every messenger reminder", 0, kDefaultSound},
    {Key::currentOtherSound, "currentOtherSound", Rule::String,
     "the sound file of the listed apps' reminders", 0, kDefaultSound},
    {Key::vibesms, "vibesms", Rule::FlagDefaultOn, "the SMS reminder vibrates at each alert"},
    {Key::vibeCall, "vibeCall", Rule::FlagDefaultOn, "the missed-call reminder vibrates at each alert"},
    {Key::vibeMail, "vibeMail", Rule::FlagDefaultOff, "the mail reminder vibrates at each alert"},
    {Key::vibeIm, "vibeIm", Rule::FlagDefaultOn, "each messenger reminder vibrates at each alert"},
    {Key::vibeOther, "vibeOther", Rule::FlagDefaultOff, "each listed app's reminder vibrates at each alert"},
    {Key::torchSmS, "torchSmS", Rule::FlagDefaultOff, "the SMS reminder blinks the torch at each alert"},
    {Key::torchCall, "torchCall", Rule::FlagDefaultOn, "the missed-call reminder blinks the torch at each alert"},
    {Key::torchMail, "torchMail", Rule::FlagDefaultOff, "the mail reminder blinks the torch at each alert"},
    {Key::torchIm, "torchIm", Rule::FlagDefaultOff, "each messenger reminder blinks the torch at each alert"},
    {Key::torchOther, "torchOther", Rule::FlagDefaultOff,
     "each listed app's reminder blinks the torch (flashes the screen on an iPad)"},
    {Key::locktorchSmS, "locktorchSmS", Rule::FlagDefaultOff, "the SMS torch blinks only while the device is locked"},
    {Key::locktorchC, "locktorchC", Rule::FlagDefaultOff,
     "the missed-call torch blinks only while the device is locked"},
    {Key::locktorchM, "locktorchM", Rule::FlagDefaultOff, "the mail torch blinks only while the device is locked"},
    {Key::locktorchIm, "locktorchIm", Rule::FlagDefaultOff,
     "the messenger torch blinks only while the device is locked"},
    {Key::locktorchOther, "locktorchOther", Rule::FlagDefaultOff,
     "the listed apps' torch blinks only while the device is locked"},
    {Key::unSmS, "unSmS", Rule::FlagDefaultOff, "the SMS reminder lights up the locked screen at each alert"},
    {Key::unCaLL, "unCaLL", Rule::FlagDefaultOff, "the missed-call reminder lights up the locked screen at each alert"},
    {Key::unMAil, "unMAil", Rule::FlagDefaultOff, "the mail reminder lights up the locked screen at each alert"},
    {Key::unIM, "unIM", Rule::FlagDefaultOff, "each messenger reminder lights up the locked screen at each alert"},
    {Key::unOther, "unOther", Rule::FlagDefaultOff,
     "each listed app's reminder lights up the locked screen at each alert"},
    {Key::showBanner, "showBanner", Rule::FlagDefaultOn,
     "a banner at each alert while unlocked; re-posts reminders to the lock screen at auto-lock"},
    {Key::fromHour, "fromHour", Rule::Hour, "the hour the start window opens (reminders start only inside it)", 0},
    {Key::fromMin, "fromMin", Rule::Minute, "the minute the start window opens", 0},
    {Key::toHour, "toHour", Rule::Hour, "the hour the start window closes", 23},
    {Key::toMin, "toMin", Rule::Minute, "the minute the start window closes", 59},
    {Key::firstRun, "firstRun", Rule::WrittenOnly, "written at the home screen's first launch; never read"},
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

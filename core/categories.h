// The eleven fixed reminder categories as one table: their named operations on MissedHelper,
// timer and status-bar fields, settings keys, alert texts, section identifiers and clear
// notifications. Every subsystem reads its columns from here. Listed ("Other") apps are keyed
// by bundle identifier and held beside these (see other_apps.h).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/settings_keys.h"
#include "platform/joined.h"

namespace qv::core {

enum class Category : std::uint8_t {
  Call, Sms, Mail, WhatsAppCall, WhatsAppMessage, MessengerCall, MessengerMessage,
  TelegramMessage, ThreemaMessage, ViberMessage, ViberCall,
};
inline constexpr std::size_t kCategoryCount = 11;

// One active flag per app: the call and message reminders of WhatsApp, Messenger and Viber
// share theirs, so clearing either of a pair ends the other at its next fire.
enum class ActiveFlag : std::uint8_t { Call, Sms, Mail, WhatsApp, Messenger, Telegram, Threema, Viber };
inline constexpr std::size_t kActiveFlagCount = 8;

struct CategoryInfo {
  Category category;
  std::string_view name;  // for the story: "call", "WhatsApp message"
  std::string_view id;    // stable, for tools: "call", "whatsapp-message" (listed apps: "listed:<bundle id>")
  // Registry operations, reached by name through the runtime.
  std::string_view startOperation;   // "LoadPhoneTimer", or "LoadImTimer:" with startArgument
  std::string_view startArgument;    // the LoadImTimer: argument, "" for the others
  std::string_view timerField;
  Key intervalKey;
  std::string_view fireHandler;
  std::string_view clearOperation;
  std::string_view clearNotification;  // Darwin name, "" for SMS
  bool clearObserverAlways;            // the observer clears even when no timer is armed
  ActiveFlag flag;
  // Status-bar item.
  std::string_view statusBarField;
  std::string_view statusBarKey;
  std::string_view itemIdentifier;
  std::string_view imageName;
  // Alerts on each fire.
  Key countKey, soundKey, currentSoundKey, vibrationKey, torchKey, lockTorchKey, wakeKey;
  std::string_view message;  // banner and lock-screen text
  bool bannerLocalized;      // the SMS banner passes its English text unchanged
  std::string_view sectionId;
  std::string_view padSectionId;  // the call reminder names FaceTime on an iPad; else = sectionId
  // Saved from the notification that started it, for the lock-screen re-post.
  Category actionSlot;  // both WhatsApp categories share the WhatsApp call slot
  bool keepsContext;    // mail and Threema keep only an action
};

inline constexpr std::string_view kTimerServiceIdentifier = "com.tarnwick.missed";
inline constexpr std::string_view kClearNotificationPrefix = "com.tarnwick.missed.";

inline constexpr std::array<CategoryInfo, kCategoryCount> kCategories = {{
    {Category::Call, "call", "call", "LoadPhoneTimer", "", "phoneTimer", Key::phInt, "reloadPhoneTimer",
     "clearphoneTimer", "com.tarnwick.missed.clearphoneTimer", true, ActiveFlag::Call,
     "statusBarItemCall", "Call", "quorvel.QVCALL", "QVCALL",
     Key::phCount, Key::soundCall, Key::currentCallSound, Key::vibeCall, Key::torchCall, Key::locktorchC, Key::unCaLL,
     "Missed Call!", true, "com.apple.mobilephone", "com.apple.facetime", Category::Call, true},
    {Category::Sms, "SMS", "sms", "LoadsmsTimer", "", "smstimer", Key::smsInt, "reloadsmsTimer",
     "clearsmsTimer", "", false, ActiveFlag::Sms,
     "statusBarItemSMS", "SMS", "quorvel.QVSMS", "QVSMS",
     Key::smsCount, Key::soundsms, Key::currentSMSSound, Key::vibesms, Key::torchSmS, Key::locktorchSmS, Key::unSmS,
     "Missed Message!", false, "com.apple.MobileSMS", "com.apple.MobileSMS", Category::Sms, true},
    {Category::Mail, "mail", "mail", "LoadMailTimer", "", "mailTimer", Key::mailInt, "reloadMailTimer",
     "clearMailTimer", "com.tarnwick.missed.clearMailTimer", true, ActiveFlag::Mail,
     "statusBarItemMail", "Mail", "quorvel.QVMAIL", "QVMAIL",
     Key::mailCount, Key::soundMail, Key::currentMailSound, Key::vibeMail, Key::torchMail, Key::locktorchM, Key::unMAil,
     "Missed Mail!", true, "com.apple.mobilemail", "com.apple.mobilemail", Category::Mail, false},
    {Category::WhatsAppCall, "WhatsApp call", "whatsapp-call", "LoadImTimer:", "WhatsAppPhone", "whatsAppPhoneTimer", Key::imInt,
     "reloadimPhoneTimer", "clearwhatsAppPhoneTimer", "com.tarnwick.missed.clearwhatsAppPhoneTimer", false,
     ActiveFlag::WhatsApp, "statusBarItemWHCall", "WHCall", "quorvel.WHCall", "WHCall",
     Key::imCount, Key::soundIm, Key::currentIMSound, Key::vibeIm, Key::torchIm, Key::locktorchIm, Key::unIM,
     "Missed Call!", true, "net.whatsapp.WhatsApp", "net.whatsapp.WhatsApp", Category::WhatsAppCall, true},
    {Category::WhatsAppMessage, "WhatsApp message", "whatsapp-message", "LoadImTimer:", "WhatsAppMessage", "whatsAppMessageTimer",
     Key::imInt, "reloadImMessageTimer", "clearwhatsAppMessageTimer",
     "com.tarnwick.missed.clearwhatsAppMessageTimer", false, ActiveFlag::WhatsApp,
     "statusBarItemWHMess", "WHMess", "quorvel.WHMess", "WHMess",
     Key::imCount, Key::soundIm, Key::currentIMSound, Key::vibeIm, Key::torchIm, Key::locktorchIm, Key::unIM,
     "Missed Message!", true, "net.whatsapp.WhatsApp", "net.whatsapp.WhatsApp", Category::WhatsAppCall, true},
    {Category::MessengerCall, "Messenger call", "messenger-call", "LoadImTimer:", "FBMessPhone", "FBMessPhoneTimer", Key::imInt,
     "reloadimPhoneFBMess", "clearFBMessPhoneTimer", "com.tarnwick.missed.clearFBMessPhoneTimer", false,
     ActiveFlag::Messenger, "statusBarItemFBMCall", "FBMCall", "quorvel.FBMCall", "FBMCall",
     Key::imCount, Key::soundIm, Key::currentIMSound, Key::vibeIm, Key::torchIm, Key::locktorchIm, Key::unIM,
     "Missed Call!", true, "com.facebook.Messenger", "com.facebook.Messenger", Category::MessengerCall, true},
    {Category::MessengerMessage, "Messenger message", "messenger-message", "LoadImTimer:", "FBMessMessage", "FBMessMessageTimer",
     Key::imInt, "reloadimFBMessageTimer", "clearFBMessMessageTimer",
     "com.tarnwick.missed.clearFBMessMessageTimer", false, ActiveFlag::Messenger,
     "statusBarItemFBMessage", "FBMess", "quorvel.FBMess", "FBMess",
     Key::imCount, Key::soundIm, Key::currentIMSound, Key::vibeIm, Key::torchIm, Key::locktorchIm, Key::unIM,
     "Missed Message!", true, "com.facebook.Messenger", "com.facebook.Messenger", Category::MessengerMessage, true},
    {Category::TelegramMessage, "Telegram message", "telegram-message", "LoadImTimer:", "TGMessage", "TGMessTimer", Key::imInt,
     "reloadTGMessTimer", "clearTGMessTimer", "com.tarnwick.missed.clearTGMessTimer", false,
     ActiveFlag::Telegram, "statusBarItemTGMess", "TGMessage", "quorvel.TGMess", "TGMess",
     Key::imCount, Key::soundIm, Key::currentIMSound, Key::vibeIm, Key::torchIm, Key::locktorchIm, Key::unIM,
     "Missed Message!", true, "ph.telegra.Telegraph", "ph.telegra.Telegraph", Category::TelegramMessage, true},
    {Category::ThreemaMessage, "Threema message", "threema-message", "LoadImTimer:", "Threema", "ThreemaTimer", Key::imInt,
     "reloadThreemaTimer", "clearThreemaTimer", "com.tarnwick.missed.clearThreemaTimer", false,
     ActiveFlag::Threema, "statusBarItemTHreema", "THreema", "quorvel.QVTHrema", "QVTH",
     Key::imCount, Key::soundIm, Key::currentIMSound, Key::vibeIm, Key::torchIm, Key::locktorchIm, Key::unIM,
     "Missed Message!", true, "ch.threema.iapp", "ch.threema.iapp", Category::ThreemaMessage, false},
    {Category::ViberMessage, "Viber message", "viber-message", "LoadImTimer:", "ViperMessage", "Viper_MessageTimer", Key::imInt,
     "reloadViperMessageTimer", "clearViperMessTimer", "com.tarnwick.missed.clearViperMessTimer", false,
     ActiveFlag::Viber, "statusBarItemViperMess", "ViperMessage", "quorvel.QVVIPMESS", "QVVIPMESS",
     Key::imCount, Key::soundIm, Key::currentIMSound, Key::vibeIm, Key::torchIm, Key::locktorchIm, Key::unIM,
     "Missed Message!", true, "com.viber", "com.viber", Category::ViberMessage, true},
    {Category::ViberCall, "Viber call", "viber-call", "LoadImTimer:", "ViperCall", "Viper_CallTimer", Key::imInt,
     "reloadViperCallTimer", "clearViperCallTimer", "com.tarnwick.missed.clearViperCallTimer", false,
     ActiveFlag::Viber, "statusBarItemViperCall", "ViperCall", "quorvel.QVVIPCALL", "QVVIPCALL",
     Key::imCount, Key::soundIm, Key::currentIMSound, Key::vibeIm, Key::torchIm, Key::locktorchIm, Key::unIM,
     "Missed Call!", true, "com.viber", "com.viber", Category::ViberCall, true},
}};

constexpr const CategoryInfo& info(Category c) { return kCategories[static_cast<std::size_t>(c)]; }
constexpr std::size_t index(Category c) { return static_cast<std::size_t>(c); }
constexpr std::size_t index(ActiveFlag f) { return static_cast<std::size_t>(f); }

// The category whose LoadImTimer: argument is exactly `argument` (case-sensitive), tested in
// table order; none for any other string.
constexpr std::optional<Category> categoryForStartArgument(std::string_view argument) {
  for (const CategoryInfo& c : kCategories)
    if (!c.startArgument.empty() && c.startArgument == argument) return c.category;
  return std::nullopt;
}

// The category of a stable id ("whatsapp-message"); none for any other string.
constexpr std::optional<Category> categoryForId(std::string_view id) {
  for (const CategoryInfo& c : kCategories)
    if (c.id == id) return c.category;
  return std::nullopt;
}

// The prefix of a listed app's reminder id: "listed:com.example.Chat".
inline constexpr std::string_view kListedAppIdPrefix = "listed:";
inline std::string listedAppId(std::string_view bundleId) {
  return joined(kListedAppIdPrefix, bundleId);
}

// The category whose status-bar key is exactly `key`; none for any other string.
constexpr std::optional<Category> categoryForStatusBarKey(std::string_view key) {
  for (const CategoryInfo& c : kCategories)
    if (c.statusBarKey == key) return c.category;
  return std::nullopt;
}

// The order in which the lock-screen re-post walks the categories.
inline constexpr std::array<Category, kCategoryCount> kRepostOrder = {
    Category::Sms, Category::Call, Category::WhatsAppCall, Category::WhatsAppMessage, Category::MessengerCall,
    Category::MessengerMessage, Category::TelegramMessage, Category::ThreemaMessage, Category::ViberMessage,
    Category::ViberCall, Category::Mail,
};

constexpr bool categoriesInOrder() {
  for (std::size_t i = 0; i < kCategories.size(); ++i)
    if (static_cast<std::size_t>(kCategories[i].category) != i) return false;
  return true;
}
static_assert(categoriesInOrder(), "kCategories rows must follow the order of Category");

}  // namespace qv::core

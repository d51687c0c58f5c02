// The app blocks of the classification table, one function each, and the order in which every
// entry point evaluates them. Each block handles the entry points through one switch, so it
// reads side by side with its row of the written table. A block whose app matches runs; the
// first match does not end the walk (a fixed app that is also listed runs both blocks).
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "intake/rules.h"

namespace qv::intake {

inline constexpr std::string_view kPhoneSection = "com.apple.mobilephone";
inline constexpr std::string_view kFaceTimeSection = "com.apple.facetime";
inline constexpr std::string_view kSmsSection = "com.apple.MobileSMS";
inline constexpr std::string_view kMailSection = "com.apple.mobilemail";
inline constexpr std::string_view kWhatsAppSection = "net.whatsapp.WhatsApp";
inline constexpr std::string_view kMessengerSection = "com.facebook.Messenger";
inline constexpr std::string_view kTelegramSection = "ph.telegra.Telegraph";
inline constexpr std::string_view kThreemaSection = "ch.threema.iapp";
inline constexpr std::string_view kViberSection = "com.viber";
inline constexpr std::string_view kTwitterSection = "com.atebits.Tweetie2";
inline constexpr std::string_view kCalendarSection = "com.apple.mobilecal";
inline constexpr std::string_view kClockSection = "com.apple.mobiletimer";

// The categories of Messenger's call-back and reply notifications, which both the intake and the
// lock-screen removal tell apart.
inline constexpr std::string_view kMessengerCallBack = "callback_message";
inline constexpr std::string_view kMessengerReplyMute = "reply_mute";

void callBlock(Evaluation& ev);
void smsBlock(Evaluation& ev);
void mailBlock(Evaluation& ev);
void whatsAppBlock(Evaluation& ev);
void messengerBlock(Evaluation& ev);
void telegramBlock(Evaluation& ev);
void threemaBlock(Evaluation& ev);
void viberBlock(Evaluation& ev);
void otherBlock(Evaluation& ev);
void twitterBlock(Evaluation& ev);
// The WhatsApp local-notification rules on a fired local notification's userInfo.
void whatsAppLocalRules(Evaluation& ev, const pl::Dict* userInfo);

struct AppBlock {
  std::string_view name;
  bool (*matches)(const Evaluation& ev);
  void (*run)(Evaluation& ev);
};

bool isCallSection(const Evaluation& ev);
bool isListedApp(const Evaluation& ev);
// Twitter, reached only after the Other block's gates passed for it.
bool isTwitterAfterOther(const Evaluation& ev);
template <const std::string_view& Section>
bool isSection(const Evaluation& ev) {
  return ev.sectionID() == Section;
}

inline constexpr AppBlock kCall{"Call", &isCallSection, &callBlock};
inline constexpr AppBlock kSms{"SMS", &isSection<kSmsSection>, &smsBlock};
inline constexpr AppBlock kMail{"Mail", &isSection<kMailSection>, &mailBlock};
inline constexpr AppBlock kWhatsApp{"WhatsApp", &isSection<kWhatsAppSection>, &whatsAppBlock};
inline constexpr AppBlock kMessenger{"Messenger", &isSection<kMessengerSection>, &messengerBlock};
inline constexpr AppBlock kTelegram{"Telegram", &isSection<kTelegramSection>, &telegramBlock};
inline constexpr AppBlock kThreema{"Threema", &isSection<kThreemaSection>, &threemaBlock};
inline constexpr AppBlock kViber{"Viber", &isSection<kViberSection>, &viberBlock};
inline constexpr AppBlock kOther{"Other", &isListedApp, &otherBlock};
inline constexpr AppBlock kTwitter{"Twitter", &isTwitterAfterOther, &twitterBlock};

inline constexpr std::array kPublishOrder = {kCall,    kSms,   kWhatsApp, kMessenger, kTelegram,
                                             kThreema, kViber, kMail,     kOther,     kTwitter};
inline constexpr std::array kLockScreenAddOrder = {kWhatsApp, kMessenger, kThreema, kViber, kMail, kOther, kTwitter};
inline constexpr std::array kRequestOrder = {kMail,     kCall,    kSms,   kWhatsApp, kMessenger,
                                             kTelegram, kThreema, kViber, kOther,    kTwitter};

// The blocks an entry point walks, in order (none for the local-notification and call-state
// entries, which have rules of their own).
std::span<const AppBlock> blockOrder(EntryPoint entry);

}  // namespace qv::intake

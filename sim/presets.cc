#include "sim/presets.h"

#include <array>

namespace qv::sim {
namespace {

pl::Dict aps(std::string_view category, std::string_view alert) {
  pl::Dict a{{"alert", pl::Value(alert)}};
  if (!category.empty()) a.emplace("category", pl::Value(category));
  return pl::Dict{{"aps", pl::Value(std::move(a))}};
}

PresetDelivery sms(bool, const std::string&) {
  return {"com.apple.MobileSMS", "", std::nullopt, std::nullopt, false, 1, "Anna", "Are you awake?"};
}
PresetDelivery missedCall(bool ios10, const std::string&) {
  return {"com.apple.mobilephone",
          ios10 ? "com.apple.mobilephone.missed-call" : "",
          std::nullopt,
          std::nullopt,
          false,
          1,
          "Missed Call",
          "Mum"};
}
PresetDelivery facetimeMissedCall(bool ios10, const std::string&) {
  return {"com.apple.facetime",
          ios10 ? "com.apple.facetime.missed-call" : "",
          std::nullopt,
          std::nullopt,
          false,
          1,
          "Missed FaceTime Call",
          "Mum"};
}
PresetDelivery mail(bool, const std::string&) {
  return {"com.apple.mobilemail", "", std::nullopt, std::nullopt, false, 1, "Ben", "Minutes of Friday's meeting"};
}

constexpr const char* kJid = "4915112345678@s.whatsapp.net";
PresetDelivery whatsAppMessage(bool ios10, const std::string&) {
  if (ios10)
    return {"net.whatsapp.WhatsApp", "message", aps("message", "Anna: hi!"), std::nullopt, false, 1, "Anna", "hi!"};
  return {"net.whatsapp.WhatsApp", "", std::nullopt, pl::Dict{{"jid", kJid}}, false, 1, "Anna", "hi!"};
}
PresetDelivery whatsAppMissedCall(bool ios10, const std::string&) {
  if (ios10)
    return {
        "net.whatsapp.WhatsApp", "missed-call", aps("missed-call", "Missed voice call"), std::nullopt, false, 1, "Anna",
        "Missed voice call"};
  return {"net.whatsapp.WhatsApp", "", std::nullopt, pl::Dict{{"missed-call-jid", kJid}}, false, 1, "Anna",
          "Missed voice call"};
}
PresetDelivery whatsAppIncomingCall(bool ios10, const std::string&) {
  if (ios10)
    return {"net.whatsapp.WhatsApp",
            "incoming-call",
            aps("incoming-call", "Incoming voice call"),
            std::nullopt,
            false,
            0,
            "Anna",
            "Incoming voice call"};
  return {"net.whatsapp.WhatsApp", "", std::nullopt, pl::Dict{{"incoming-call-jid", kJid}}, false, 0, "Anna",
          "Incoming voice call"};
}

PresetDelivery messengerMessage(bool ios10, const std::string&) {
  return {"com.facebook.Messenger",
          ios10 ? "reply_mute" : "",
          aps("reply_mute", "Chris: see you at 8"),
          std::nullopt,
          false,
          1,
          "Chris",
          "see you at 8"};
}
PresetDelivery messengerIncomingCall(bool ios10, const std::string&) {
  if (ios10)
    return {"com.facebook.Messenger",
            "accept_decline",
            aps("accept_decline", "Chris is calling you"),
            std::nullopt,
            false,
            0,
            "Chris",
            "is calling you"};
  return {"com.facebook.Messenger", "", std::nullopt, pl::Dict{{"type", "webrtc_incoming"}}, false, 0, "Chris",
          "is calling you"};
}
PresetDelivery messengerMissedCall(bool ios10, const std::string&) {
  return {"com.facebook.Messenger",
          ios10 ? "callback_message" : "",
          aps("callback_message", "You missed a call from Chris"),
          std::nullopt,
          false,
          1,
          "Chris",
          "You missed a call"};
}

PresetDelivery telegramMessage(bool, const std::string&) {
  return {"ph.telegra.Telegraph",  "", aps("", "Dana: the tickets are booked"), std::nullopt, false, 1, "Dana",
          "the tickets are booked"};
}

PresetDelivery threemaMessage(bool, const std::string&) {
  pl::Dict remote = aps("", "New message");
  remote.emplace("threema", pl::Dict{{"cmd", "newmsg"}, {"from", "ECHOECHO"}});
  return {"ch.threema.iapp", "", remote, std::nullopt, false, 1, "Threema", "New message"};
}

PresetDelivery viberMessage(bool ios10, const std::string&) {
  return {"com.viber",
          ios10 ? "CAT_INCOMING_MESSAGE" : "",
          aps("CAT_INCOMING_MESSAGE", "Eve: call me back"),
          std::nullopt,
          false,
          1,
          "Eve",
          "call me back"};
}
PresetDelivery viberMissedCall(bool ios10, const std::string&) {
  return {"com.viber",
          ios10 ? "CAT_MISSED_CALL" : "",
          aps("CAT_MISSED_CALL", "Missed call from Eve"),
          std::nullopt,
          false,
          1,
          "Eve",
          "Missed call"};
}
PresetDelivery viberIncomingCall(bool ios10, const std::string&) {
  // Viber announces an incoming call with a local notification of its own.
  if (ios10)
    return {
        "com.viber", "CAT_INCOMING_CALL", aps("CAT_INCOMING_CALL", "Incoming call from Eve"), std::nullopt, false, 0,
        "Eve",       "Incoming call"};
  return {"com.viber", "", std::nullopt, pl::Dict{{"category", "CAT_INCOMING_CALL"}}, false, 0, "Eve", "Incoming call"};
}

PresetDelivery twitter(bool ios10, std::string_view s, std::string_view category10, std::string_view text) {
  pl::Dict remote = aps("", text);
  remote.emplace("S", pl::Value(s));
  return {"com.atebits.Tweetie2", ios10 ? std::string(category10) : "", remote, std::nullopt, false, 1, "Twitter",
          std::string(text)};
}
PresetDelivery twitterMention(bool ios10, const std::string&) {
  return twitter(ios10, "mention", "com.twitter.mention", "@frank mentioned you");
}
PresetDelivery twitterDirectMessage(bool ios10, const std::string&) {
  return twitter(ios10, "direct_message", "com.twitter.message.1", "Frank sent you a message");
}
PresetDelivery twitterFollow(bool ios10, const std::string&) {
  return twitter(ios10, "followed", "com.twitter.followed", "Frank followed you");
}
PresetDelivery twitterLike(bool ios10, const std::string&) {
  return twitter(ios10, "favorited", "com.twitter.favorite", "Frank liked your tweet");
}

PresetDelivery calendarEvent(bool ios10, const std::string&) {
  return {
      "com.apple.mobilecal", ios10 ? "com.apple.mobilecal.event" : "", std::nullopt, std::nullopt, false, 0, "Dentist",
      "in 15 minutes"};
}
PresetDelivery appNotification(bool, const std::string& app) {
  return {app, "", aps("", "You have a new notification"), std::nullopt, false, 1, "", "You have a new notification"};
}

constexpr std::array kPresets = {
    Preset{"sms", "com.apple.MobileSMS", false, "an SMS or iMessage arrives (the Messages badge counts up)", &sms},
    Preset{"missed-call", "com.apple.mobilephone", false, "the Phone app's missed-call notification", &missedCall},
    Preset{"facetime-missed-call", "com.apple.facetime", false, "a missed FaceTime call notification",
           &facetimeMissedCall},
    Preset{"mail", "com.apple.mobilemail", false, "new mail (the Mail badge counts up)", &mail},
    Preset{"whatsapp-message", "net.whatsapp.WhatsApp", false, "a WhatsApp message", &whatsAppMessage},
    Preset{"whatsapp-missed-call", "net.whatsapp.WhatsApp", false, "a missed WhatsApp call", &whatsAppMissedCall},
    Preset{"whatsapp-incoming-call", "net.whatsapp.WhatsApp", false, "WhatsApp announces an incoming call",
           &whatsAppIncomingCall},
    Preset{"messenger-message", "com.facebook.Messenger", false, "a Messenger message", &messengerMessage},
    Preset{"messenger-incoming-call", "com.facebook.Messenger", false, "Messenger announces an incoming call",
           &messengerIncomingCall},
    Preset{"messenger-missed-call", "com.facebook.Messenger", false,
           "Messenger's call-back message after a missed call", &messengerMissedCall},
    Preset{"telegram-message", "ph.telegra.Telegraph", false, "a Telegram message", &telegramMessage},
    Preset{"threema-message", "ch.threema.iapp", false, "a Threema message", &threemaMessage},
    Preset{"viber-message", "com.viber", false, "a Viber message", &viberMessage},
    Preset{"viber-missed-call", "com.viber", false, "a missed Viber call", &viberMissedCall},
    Preset{"viber-incoming-call", "com.viber", false, "Viber announces an incoming call", &viberIncomingCall},
    Preset{"twitter-mention", "com.atebits.Tweetie2", false, "a Twitter mention", &twitterMention},
    Preset{"twitter-direct-message", "com.atebits.Tweetie2", false, "a Twitter direct message", &twitterDirectMessage},
    Preset{"twitter-follow", "com.atebits.Tweetie2", false, "a new Twitter follower", &twitterFollow},
    Preset{"twitter-like", "com.atebits.Tweetie2", false, "a Twitter like (not an interaction)", &twitterLike},
    Preset{"calendar-event", "com.apple.mobilecal", false, "a calendar alert (no badge)", &calendarEvent},
    Preset{"app-notification", "", true, "a notification of any app (name it with \"app\")", &appNotification},
};

}  // namespace

const Preset* findPreset(std::string_view name) {
  for (const Preset& p : kPresets)
    if (name == p.name) return &p;
  return nullptr;
}

std::vector<std::string> presetList() {
  std::vector<std::string> out;
  for (const Preset& p : kPresets) out.emplace_back(p.name);
  return out;
}

std::string presetNames() {
  std::string out;
  for (const Preset& p : kPresets) out += (out.empty() ? "" : ", ") + std::string(p.name);
  return out;
}

}  // namespace qv::sim

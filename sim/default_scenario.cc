// The built-in default scenario: a morning on an iPhone.
#include "sim/scenario.h"

namespace qv::sim {

std::string_view defaultScenarioText() {
  return R"json({
  "name": "A morning on an iPhone",
  "description": "A missed call, an SMS, a WhatsApp message and a listed app overnight; reminders repeat, the phone locks itself and re-posts them, and the user deals with each app in turn.",
  "device": {"ios": "10.3", "kind": "iPhone"},
  "timeZone": "Europe/Berlin",
  "start": "2026-12-07T07:00:00",
  "settings": {
    "showStatus": true, "imSMSWats": true, "otherEnabled": true,
    "otherApplications": ["com.example.Chat"], "smsCount": 5
  },
  "apps": [{"bundleId": "com.example.Chat", "name": "Chat"}],
  "actions": [
    {"at": "07:00:20", "do": "note", "text": "intake opens 10 s after the home screen has launched"},
    {"at": "07:01:00", "do": "incoming-call", "from": "Mum"},
    {"at": "07:01:25", "do": "end-call"},
    {"at": "07:02:00", "do": "notification", "event": "sms"},
    {"at": "07:03:00", "do": "notification", "event": "whatsapp-message"},
    {"at": "07:04:00", "do": "notification", "event": "app-notification", "app": "com.example.Chat"},
    {"at": "07:06:30", "do": "auto-lock"},
    {"at": "07:10:00", "do": "unlock"},
    {"at": "07:10:30", "do": "open-app", "app": "com.apple.mobilephone"},
    {"at": "07:11:00", "do": "open-app", "app": "com.apple.MobileSMS"},
    {"at": "07:11:10", "do": "read-messages"},
    {"at": "07:12:00", "do": "open-app", "app": "net.whatsapp.WhatsApp"},
    {"at": "07:13:00", "do": "open-app", "app": "com.example.Chat"}
  ],
  "run": "07:15:00"
})json";
}

}  // namespace qv::sim

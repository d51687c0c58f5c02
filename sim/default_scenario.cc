// The built-in default scenario: a morning on an iPhone, short enough to read in a minute.
#include "sim/scenario.h"

namespace qv::sim {

std::string_view defaultScenarioText() {
  return R"json({
  "name": "A morning on an iPhone",
  "description": "A missed call, an SMS, a WhatsApp message and a listed app; reminders repeat, the phone locks itself and re-posts them to the lock screen, and the user deals with each app in turn.",
  "device": {"ios": "10.3", "kind": "iPhone"},
  "timeZone": "Europe/Berlin",
  "start": "2026-12-07T07:00:00",
  "settings": {
    "showStatus": true, "imSMSWats": true, "smsCount": 3,
    "otherEnabled": true, "otherApplications": ["org.whispersystems.signal"]
  },
  "apps": [{"bundleId": "org.whispersystems.signal", "name": "Signal"}],
  "actions": [
    {"at": "07:00:30", "do": "incoming-call", "from": "Mum"},
    {"at": "07:00:50", "do": "end-call"},
    {"at": "07:01:10", "do": "notification", "event": "sms"},
    {"at": "07:01:40", "do": "notification", "event": "whatsapp-message"},
    {"at": "07:02:20", "do": "notification", "event": "app-notification", "app": "org.whispersystems.signal"},
    {"at": "07:03:30", "do": "auto-lock"},
    {"at": "07:05:00", "do": "unlock"},
    {"at": "07:05:20", "do": "open-app", "app": "com.apple.mobilephone"},
    {"at": "07:05:40", "do": "read-messages"},
    {"at": "07:06:00", "do": "open-app", "app": "net.whatsapp.WhatsApp"},
    {"at": "07:06:20", "do": "open-app", "app": "org.whispersystems.signal"}
  ],
  "run": "07:07:00"
})json";
}

}  // namespace qv::sim

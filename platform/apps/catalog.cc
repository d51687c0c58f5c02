#include "platform/apps/catalog.h"

#include "platform/apps/phone_app.h"
#include "platform/apps/viber_app.h"
#include "platform/apps/whatsapp_app.h"

namespace qv::apps {

const std::vector<AppSpec>& knownApps() {
  static const std::vector<AppSpec> apps = {
      {"com.apple.mobilephone", "Phone", "MobilePhone", AppFlavour::Phone, "PhoneApplication", "", true, false},
      {"com.apple.mobilemail", "Mail", "MobileMail", AppFlavour::Mail, "MailAppController", "", false, false},
      {"com.apple.MobileSMS", "Messages", "MobileSMS", AppFlavour::Messages, "SMSApplication", "", false, true},
      {"net.whatsapp.WhatsApp", "WhatsApp", "WhatsApp", AppFlavour::WhatsApp, "UIApplication", "WhatsAppAppDelegate",
       false, false},
      {"com.facebook.Messenger", "Messenger", "Messenger", AppFlavour::Messenger, "UIApplication", "MNAppDelegate",
       false, false},
      {"ph.telegra.Telegraph", "Telegram", "Telegram", AppFlavour::Telegram, "UIApplication", "TGAppDelegate", false,
       false},
      {"ch.threema.iapp", "Threema", "Threema", AppFlavour::Threema, "UIApplication", "AppDelegate", false, false},
      {"com.viber", "Viber", "Viber", AppFlavour::Viber, "UIApplication", "ViberAppDelegate", false, false},
  };
  return apps;
}

bool isBuiltIn(const AppSpec& spec) {
  return spec.bundleId.starts_with("com.apple.");
}

const std::vector<HomeScreenApp>& otherHomeScreenApps() {
  static const std::vector<HomeScreenApp> apps = {
      {"com.apple.AppStore", "App Store"},   {"com.apple.mobilecal", "Calendar"},  {"com.apple.facetime", "FaceTime"},
      {"com.apple.Preferences", "Settings"}, {"com.apple.mobilesafari", "Safari"}, {"com.apple.reminders", "Reminders"},
  };
  return apps;
}

AppSpec appSpecFor(std::string_view bundleId, std::string_view displayName, std::string_view delegateClass) {
  for (const AppSpec& spec : knownApps())
    if (spec.bundleId == bundleId) return spec;
  AppSpec spec;
  spec.bundleId = bundleId;
  spec.displayName = displayName.empty() ? std::string(bundleId) : std::string(displayName);
  spec.processName = spec.displayName;
  spec.delegateClass = delegateClass.empty() ? kGenericDelegateClass : delegateClass;
  return spec;
}

std::unique_ptr<App> installApp(host::Host& host, const AppSpec& spec) {
  switch (spec.flavour) {
    case AppFlavour::Phone:
      return std::make_unique<PhoneApp>(host, spec);
    case AppFlavour::WhatsApp:
      return std::make_unique<WhatsAppApp>(host, spec);
    case AppFlavour::Viber:
      return std::make_unique<ViberApp>(host, spec);
    default:
      return std::make_unique<App>(host, spec);
  }
}

}  // namespace qv::apps

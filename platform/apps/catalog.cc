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

bool isBuiltIn(const AppSpec& appSpec) {
  return appSpec.bundleId.starts_with("com.apple.");
}

const std::vector<HomeScreenApp>& otherHomeScreenApps() {
  static const std::vector<HomeScreenApp> apps = {
      {"com.apple.AppStore", "App Store"},   {"com.apple.mobilecal", "Calendar"},  {"com.apple.facetime", "FaceTime"},
      {"com.apple.Preferences", "Settings"}, {"com.apple.mobilesafari", "Safari"}, {"com.apple.reminders", "Reminders"},
      {"com.atebits.Tweetie2", "Twitter"},
  };
  return apps;
}

AppSpec appSpecFor(std::string_view bundleId, std::string_view displayName, std::string_view delegateClass) {
  for (const AppSpec& appSpec : knownApps())
    if (appSpec.bundleId == bundleId) return appSpec;
  AppSpec appSpec;
  appSpec.bundleId = bundleId;
  appSpec.displayName = displayName.empty() ? std::string(bundleId) : std::string(displayName);
  appSpec.processName = appSpec.displayName;
  appSpec.delegateClass = delegateClass.empty() ? kGenericDelegateClass : delegateClass;
  return appSpec;
}

std::unique_ptr<App> installApp(host::Host& host, const AppSpec& appSpec) {
  switch (appSpec.flavour) {
    case AppFlavour::Phone:
      return std::make_unique<PhoneApp>(host, appSpec);
    case AppFlavour::WhatsApp:
      return std::make_unique<WhatsAppApp>(host, appSpec);
    case AppFlavour::Viber:
      return std::make_unique<ViberApp>(host, appSpec);
    default:
      return std::make_unique<App>(host, appSpec);
  }
}

}  // namespace qv::apps

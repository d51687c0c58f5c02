#include "assembly/startup.h"

#include "appsignals/clear_channel.h"
#include "assembly/operations.h"
#include "core/library.h"
#include "core/missed_helper.h"
#include "core/other_apps.h"
#include "core/settings_keys.h"

namespace qv::assembly {

using core::HookRow;
using core::installHookRow;
using core::Library;

std::unique_ptr<Library> load(host::Host& host) {
  auto library = std::make_unique<Library>(host);
  runFirstInitialiser(*library);
  runSecondInitialiser(*library);
  runThirdInitialiser(*library);
  return library;
}

void runSettingsStartup(Library& library) {
  host::Host& host = library.host;
  if (!host.fileExists(core::kSettingsFileTestedAtStartup)) host.removePersistentDomain(core::kSettingsDomain);
  library.settings.load(host);
  host.addDarwinObserver(std::string(core::kSettingsChangedNotification), [&library] {
    // Told once, by the home screen, where the settings would have counted.
    if (!library.settings.load(library.host) && library.host.mainBundleIdentifier() == "com.apple.springboard")
      library.explain("settings",
                      "iOS " + library.settings.systemVersion() + " reads no settings: every key takes its default");
  });
}

void runFirstInitialiser(Library& library) {
  if (objc::Class* missedHelper = core::defineMissedHelperClass(library))
    for (const RegisterOperations registerOperations : kOperationRegistrations) registerOperations(library, missedHelper);
  core::defineOtherTimerClass(library);
  for (const HookRow& row : hookGroupA()) installHookRow(library, row);
  runSettingsStartup(library);
  appsignals::registerClearObservers(library);
  const bool ios10 = library.host.coreFoundationVersion() >= kFirstCoreFoundationOfIos10;
  for (const HookRow& row : ios10 ? hookGroupC() : hookGroupB()) installHookRow(library, row);
}

void runSecondInitialiser(Library& library) {
  library.sharedHelper = library.sharedInstance();
}

void runThirdInitialiser(Library& library) {
  if (library.host.mainBundleIdentifier() != "com.apple.springboard") return;
  static constexpr HookRow kDoesNotRecognize = core::passThroughRow<host::msg::doesNotRecognizeSelector>("NSObject");
  installHookRow(library, kDoesNotRecognize);
}

}  // namespace qv::assembly

// The apps the simulator knows by bundle identifier, with their processes and classes; any other
// app is generic (a UIApplication and a delegate of the class the scenario names, "AppDelegate"
// when it names none). Also the installer that gives a new process its app.
//   auto app = apps::installApp(host, apps::appSpecFor("ch.threema.iapp"));
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/apps/app.h"

namespace qv::apps {

inline constexpr const char* kGenericDelegateClass = "AppDelegate";

// The catalogue's apps, in a fixed order.
const std::vector<AppSpec>& knownApps();

// Whether an app comes with the device (on the home screen from the start).
bool isBuiltIn(const AppSpec& appSpec);

struct HomeScreenApp {
  const char* bundleId;
  const char* displayName;
};
// Built-in apps besides the catalogue's: opened, each runs a plain process of its own, which the
// library does not load into.
const std::vector<HomeScreenApp>& otherHomeScreenApps();

// The catalogue's entry, or a generic app named `displayName` (the bundle identifier when
// empty) whose delegate class is `delegateClass`.
AppSpec appSpecFor(std::string_view bundleId, std::string_view displayName = {},
                   std::string_view delegateClass = kGenericDelegateClass);

// Defines the app's classes in its process (before the library loads) and returns the app.
std::unique_ptr<App> installApp(host::Host& host, const AppSpec& appSpec);

}  // namespace qv::apps

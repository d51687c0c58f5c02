// The reminder texts in the device's language, from the package's localisation bundle, and the
// banner message of a listed app ("Missed " followed by the app's display name). Main thread.
//   localizedText(library, "Missed Call!", "Missed Call!")  // "Verpasster Anruf!" in German
#pragma once

#include <string>
#include <string_view>

namespace qv::core {
class Library;
}

namespace qv::alerts {

inline constexpr std::string_view kLocalizationBundle = "/Library/Application Support/Quorvel/Localizations";

// The bundle's text for `key`; `value` when the bundle lacks the key; "" when there is no bundle.
std::string localizedText(core::Library& library, std::string_view key, std::string_view value);

// The localised "Missed" (value "Missed ") followed by the app's display name, or by its bundle
// identifier when the home screen knows no name for it.
std::string otherAppMessage(core::Library& library, std::string_view bundleId);

}  // namespace qv::alerts

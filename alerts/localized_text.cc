#include "alerts/localized_text.h"

#include "core/library.h"

namespace qv::alerts {

std::string localizedText(core::Library& library, std::string_view key, std::string_view value) {
  return library.host.localizedString(kLocalizationBundle, key, value).value_or(std::string());
}

std::string otherAppMessage(core::Library& library, std::string_view bundleId) {
  std::string name = library.host.localizedApplicationName(bundleId).value_or(std::string());
  if (name.empty()) name = bundleId;
  return localizedText(library, "Missed", "Missed ") + name;
}

}  // namespace qv::alerts

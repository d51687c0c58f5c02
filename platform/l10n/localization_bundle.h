// A localisation bundle: `<lang>.lproj/Localizable.strings` tables under one folder, and the
// lookup that picks one table by the user's preferred languages. Immutable after open; share
// freely between threads.
//   bundle.localizedString("Missed Call!", "Missed Call!", {"de-CH", "en"})  // "Verpasster Anruf!"
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/l10n/strings_file.h"
#include "platform/result.h"

namespace qv::l10n {

class LocalizationBundle {
 public:
  // Reads tables written as property lists; without one such tables make open fail.
  using PropertyListReader = std::function<Result<StringsTable>(std::span<const std::uint8_t>)>;

  // An empty bundle: every lookup gives back the caller's text.
  LocalizationBundle() = default;

  // Reads every `*.lproj/Localizable.strings` below `dir`; a folder without that file is not a
  // language of the bundle. A missing folder or an unreadable table is an Error naming the file.
  static Result<LocalizationBundle> open(const std::string& dir,
                                         const PropertyListReader& propertyListReader = {});

  // The text for `key` in the first language the bundle has, in this order: each preferred
  // language, then its shorter forms ("de-CH", then "de"), then "en", "English", "Base". Like the
  // device, one table is chosen and a key missing from it gives `value` (or `key` if that is
  // empty), not another language's text.
  std::string localizedString(std::string_view key, std::string_view value,
                              const std::vector<std::string>& preferredLanguages) const;

  // The table those languages pick (null for none), and a lookup in it: the two halves of
  // localizedString, for a caller that asks many times in the same languages.
  const StringsTable* tableFor(const std::vector<std::string>& preferredLanguages) const {
    return tableFor(preferredLanguages, nullptr);
  }
  static std::string lookUp(const StringsTable* table, std::string_view key, std::string_view value);

  // The `.lproj` folder name (without extension) the lookup would use, or empty for none.
  std::string languageFor(const std::vector<std::string>& preferredLanguages) const;

  // The bundle's language folder names, without `.lproj`, sorted.
  std::vector<std::string> languages() const;

 private:
  const StringsTable* tableFor(const std::vector<std::string>& preferredLanguages,
                               std::string* language) const;

  // By folder name as on disk, without `.lproj`. Shared: a table file unchanged since it was
  // last parsed (in any bundle) is not parsed again.
  std::map<std::string, std::shared_ptr<const StringsTable>> tables_;
};

}  // namespace qv::l10n

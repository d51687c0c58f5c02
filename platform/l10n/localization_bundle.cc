#include "platform/l10n/localization_bundle.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace qv::l10n {
namespace {

constexpr std::string_view kLprojSuffix = ".lproj";
constexpr const char* kTableFile = "Localizable.strings";

// Folder names are matched without regard to case or to '-' versus '_' ("zh_CN", "zh-cn").
std::string normalised(std::string_view name) {
  std::string out;
  for (char c : name) {
    out += c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

// Older bundles name their folders in English words rather than language codes.
std::string_view legacyFolderName(std::string_view code) {
  static constexpr std::pair<std::string_view, std::string_view> kNames[] = {
      {"en", "English"}, {"de", "German"},   {"fr", "French"}, {"es", "Spanish"},
      {"it", "Italian"}, {"ja", "Japanese"}, {"nl", "Dutch"},
  };
  for (const auto& [c, name] : kNames) {
    if (c == code) return name;
  }
  return {};
}

// "zh-Hans-CN" -> "zh-Hans-CN", "zh-Hans", "zh", then the old folder name for "zh" if any.
std::vector<std::string> folderCandidates(const std::vector<std::string>& preferredLanguages) {
  std::vector<std::string> out;
  for (const std::string& language : preferredLanguages) {
    std::string name = normalised(language);
    while (!name.empty()) {
      out.push_back(name);
      std::size_t cut = name.rfind('-');
      if (cut == std::string::npos) break;
      name.resize(cut);
    }
    if (!name.empty()) {
      if (std::string_view legacy = legacyFolderName(name); !legacy.empty()) {
        out.push_back(normalised(legacy));
      }
    }
  }
  for (const char* fallback : {"en", "english", "base"}) out.push_back(fallback);
  return out;
}

Result<StringsTable> readTable(const std::filesystem::path& path,
                               const LocalizationBundle::PropertyListReader& propertyListReader) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  if (!file.good() && !file.eof()) return Error{path.string() + ": read failed"};
  if (isPropertyListStrings(bytes) && propertyListReader) {
    auto table = propertyListReader(bytes);
    if (!table) return Error{path.string() + ": " + table.error()};
    return table;
  }
  auto table = parseStringsFile(bytes);
  if (!table) return Error{path.string() + ": " + table.error()};
  return table;
}

}  // namespace

Result<LocalizationBundle> LocalizationBundle::open(const std::string& dir,
                                                    const PropertyListReader& propertyListReader) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return Error{dir + ": no such localisation folder"};
  LocalizationBundle bundle;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string folder = it->path().filename().string();
    if (folder.size() <= kLprojSuffix.size() || !folder.ends_with(kLprojSuffix)) continue;
    fs::path tablePath = it->path() / kTableFile;
    std::error_code fileError;
    if (!fs::is_regular_file(tablePath, fileError)) continue;
    auto table = readTable(tablePath, propertyListReader);
    if (!table) return Error{table.error()};
    bundle.tables_[folder.substr(0, folder.size() - kLprojSuffix.size())] = std::move(*table);
  }
  if (ec) return Error{dir + ": cannot list the folder (" + ec.message() + ")"};
  return bundle;
}

const StringsTable* LocalizationBundle::tableFor(const std::vector<std::string>& preferredLanguages,
                                                 std::string* language) const {
  for (const std::string& candidate : folderCandidates(preferredLanguages)) {
    for (const auto& [folder, table] : tables_) {
      if (normalised(folder) == candidate) {
        if (language) *language = folder;
        return &table;
      }
    }
  }
  return nullptr;
}

std::string LocalizationBundle::localizedString(
    std::string_view key, std::string_view value,
    const std::vector<std::string>& preferredLanguages) const {
  return lookUp(tableFor(preferredLanguages, nullptr), key, value);
}

std::string LocalizationBundle::lookUp(const StringsTable* table, std::string_view key, std::string_view value) {
  std::string_view fallback = value.empty() ? key : value;
  if (!table) return std::string(fallback);
  auto entry = table->find(key);
  return entry == table->end() ? std::string(fallback) : entry->second;
}

std::string LocalizationBundle::languageFor(
    const std::vector<std::string>& preferredLanguages) const {
  std::string language;
  tableFor(preferredLanguages, &language);
  return language;
}

std::vector<std::string> LocalizationBundle::languages() const {
  std::vector<std::string> out;
  for (const auto& entry : tables_) out.push_back(entry.first);
  return out;
}

}  // namespace qv::l10n

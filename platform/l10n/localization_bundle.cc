#include "platform/l10n/localization_bundle.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include <sys/stat.h>

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

std::int64_t mtimeNs(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

// A table file as last parsed: its identity and stamp, and what it held. Every process of every
// simulated device opens the same package's tables, so each is parsed once while it is unchanged.
struct ParsedTable {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  std::int64_t stampNs = -1;  // modification time
  std::shared_ptr<const StringsTable> table;
  bool same(const struct stat& st) const {
    return st.st_dev == device && st.st_ino == inode && st.st_size == size && mtimeNs(st) == stampNs;
  }
};

std::mutex parsedMutex;
std::map<std::string, ParsedTable, std::less<>> parsedTables;
constexpr std::size_t kParsedTablesKept = 256;  // a fuzzer may name endless folders

// The table of a file. A `.strings` table is parsed again only when its file changed; one written
// as a property list goes to the caller's reader each time (readers may differ between callers).
Result<std::shared_ptr<const StringsTable>> readTable(const std::filesystem::path& path,
                                                      const LocalizationBundle::PropertyListReader& propertyListReader) {
  struct stat before {};
  const bool stamped = ::stat(path.c_str(), &before) == 0;
  if (stamped) {
    std::lock_guard lock(parsedMutex);
    auto it = parsedTables.find(path.native());
    if (it != parsedTables.end() && it->second.same(before)) return it->second.table;
  }
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  if (!file.good() && !file.eof()) return Error{path.string() + ": read failed"};
  const bool propertyList = isPropertyListStrings(bytes);
  if (propertyList && propertyListReader) {
    auto table = propertyListReader(bytes);
    if (!table) return Error{path.string() + ": " + table.error()};
    return std::make_shared<const StringsTable>(std::move(*table));
  }
  auto table = parseStringsFile(bytes);
  if (!table) return Error{path.string() + ": " + table.error()};
  auto shared = std::make_shared<const StringsTable>(std::move(*table));
  // Kept only when the file did not change while it was read.
  struct stat after {};
  const ParsedTable parsed{before.st_dev, before.st_ino, before.st_size, mtimeNs(before), shared};
  if (stamped && !propertyList && ::stat(path.c_str(), &after) == 0 && parsed.same(after)) {
    std::lock_guard lock(parsedMutex);
    if (parsedTables.size() >= kParsedTablesKept) parsedTables.clear();
    parsedTables.insert_or_assign(path.native(), parsed);
  }
  return shared;
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
        return table.get();
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

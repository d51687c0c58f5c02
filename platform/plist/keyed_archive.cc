// Reading side of keyed_archive.h; the writing side is in keyed_archiver.cc.
#include "platform/plist/keyed_archive.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/plist/internal/archive_reader.h"

namespace qv::pl {
namespace {

using internal::ArchiveReader;

bool chainHas(const std::vector<std::string>& chain, std::string_view name) {
  return std::find(chain.begin(), chain.end(), name) != chain.end();
}

// A dictionary archived whole inside data: a nested keyed archive of an NSDictionary, or a
// plain property-list dictionary.
std::optional<Dict> dictionaryInData(const Data& bytes) {
  if (auto nested = ArchiveReader::open(bytes, {})) {
    auto root = nested->rootReference();
    if (!root || !chainHas(nested->classChain(*root), "NSDictionary")) return std::nullopt;
    auto decoded = nested->decode(*root);
    if (!decoded || !decoded->ifDict()) return std::nullopt;
    return *decoded->ifDict();
  }
  auto plain = parse(bytes);
  if (!plain || !plain->ifDict() || plain->find("$archiver") || plain->find("$objects")) return std::nullopt;
  return *plain->ifDict();
}

// The userInfo one notification field holds, if it holds one.
std::optional<Dict> userInfoInField(ArchiveReader& reader, const Value& field) {
  if (const Data* inlineData = field.ifData()) return dictionaryInData(*inlineData);
  const auto reference = internal::referenceIn(field);
  if (!reference) return std::nullopt;
  const std::vector<std::string> chain = reader.classChain(*reference);
  const bool isDictionary = chainHas(chain, "NSDictionary");
  const bool isData = chainHas(chain, "NSData");
  auto decoded = reader.decode(*reference);
  if (!decoded) return std::nullopt;
  if (isDictionary && decoded->ifDict()) return *decoded->ifDict();
  // Data appears as an NSData object or as a bare data entry in the object table.
  if ((isData || chain.empty()) && decoded->ifData()) return dictionaryInData(*decoded->ifData());
  return std::nullopt;
}

}  // namespace

Result<Value> unarchive(std::span<const std::uint8_t> bytes, ReadLimits limits) {
  auto reader = ArchiveReader::open(bytes, limits);
  if (!reader) return Error{reader.error()};
  auto root = reader->rootReference();
  if (!root) return Error{root.error()};
  return reader->decode(*root);
}

namespace {

std::optional<Dict> readLocalNotificationUserInfo(std::span<const std::uint8_t> bytes);

// A notification's archive is often read more than once (by two entry points, and again when the
// simulator delivers the same payload). Reading is a pure function of the bytes, so the last few
// results are kept per thread (bounded in number and size) and handed out again as copies.
constexpr std::size_t kRememberedReads = 16;
constexpr std::size_t kLargestRememberedRead = 16 * 1024;

struct RememberedRead {
  std::vector<std::uint8_t> bytes;
  std::optional<Dict> userInfo;
  bool used = false;
};

}  // namespace

std::optional<Dict> localNotificationUserInfo(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kLargestRememberedRead) return readLocalNotificationUserInfo(bytes);
  thread_local std::array<RememberedRead, kRememberedReads> remembered;
  thread_local std::size_t next = 0;
  for (const RememberedRead& r : remembered)
    if (r.used && r.bytes.size() == bytes.size() &&
        (bytes.empty() || std::memcmp(r.bytes.data(), bytes.data(), bytes.size()) == 0))
      return r.userInfo;
  RememberedRead& slot = remembered[next];
  next = (next + 1) % kRememberedReads;
  slot.used = false;
  slot.bytes.assign(bytes.begin(), bytes.end());
  slot.userInfo = readLocalNotificationUserInfo(bytes);
  slot.used = true;
  return slot.userInfo;
}

namespace {

std::optional<Dict> readLocalNotificationUserInfo(std::span<const std::uint8_t> bytes) {
  auto reader = ArchiveReader::open(bytes, {});
  if (!reader) return std::nullopt;
  auto root = reader->rootReference();
  if (!root) return std::nullopt;
  const std::vector<std::string> chain = reader->classChain(*root);
  if (!chainHas(chain, "UILocalNotification") && !chainHas(chain, "UIConcreteLocalNotification")) return std::nullopt;
  const Dict* fields = reader->fieldsOf(*root);
  if (!fields) return std::nullopt;
  for (const char* key : {"_UILocalNotificationUserInfoData", "userInfo"}) {
    auto it = fields->find(key);
    if (it == fields->end()) continue;
    if (auto userInfo = userInfoInField(*reader, it->second)) return userInfo;
  }
  return std::nullopt;
}

}  // namespace

}  // namespace qv::pl

#include "platform/plist/internal/archive_reader.h"

#include <algorithm>

namespace qv::pl::internal {
namespace {

Error fail(std::string message) { return Error{"keyed archive: " + std::move(message)}; }

bool chainHas(const std::vector<std::string>& chain, std::initializer_list<std::string_view> names) {
  return std::any_of(chain.begin(), chain.end(), [&](const std::string& c) {
    return std::find(names.begin(), names.end(), c) != names.end();
  });
}

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }

}  // namespace

std::optional<std::uint64_t> referenceIn(const Value& v) {
  if (const Uid* uid = v.ifUid()) return uid->index;
  const Dict* d = v.ifDict();
  if (!d || d->size() != 1) return std::nullopt;
  const auto it = d->find("CF$UID");
  if (it == d->end()) return std::nullopt;
  const std::int64_t* index = it->second.ifInteger();
  if (!index || *index < 0) return std::nullopt;
  return static_cast<std::uint64_t>(*index);
}

Result<ArchiveReader> ArchiveReader::open(std::span<const std::uint8_t> bytes, ReadLimits limits) {
  auto parsed = parse(bytes, limits);
  if (!parsed) return fail(parsed.error());
  const Dict* archive = parsed->ifDict();
  if (!archive) return fail("the property list is no dictionary");
  const Array* objects = findArray(*archive, "$objects");
  if (!objects) return fail("no \"$objects\" array");
  const Dict* top = findDict(*archive, "$top");
  if (!top) return fail("no \"$top\" dictionary");
  limits.maxDepth = std::min(limits.maxDepth, kDepthCeiling);
  return ArchiveReader(std::move(*parsed), objects, top, limits);
}

ArchiveReader::ArchiveReader(Value archive, const Array* objects, const Dict* top, ReadLimits limits)
    : archive_(std::move(archive)),
      objects_(objects),
      top_(top),
      limits_(limits),
      progress_(objects->size(), Progress::NotStarted),
      memo_(objects->size()) {}

Result<std::uint64_t> ArchiveReader::rootReference() const {
  const Value* root = nullptr;
  if (auto it = top_->find("root"); it != top_->end()) root = &it->second;
  else if (auto zero = top_->find("$0"); zero != top_->end()) root = &zero->second;
  else if (!top_->empty()) root = &top_->begin()->second;
  if (!root) return fail("\"$top\" names no root object");
  auto reference = referenceIn(*root);
  if (!reference) return fail("the root in \"$top\" is no reference");
  return *reference;
}

std::vector<std::string> ArchiveReader::classChain(std::uint64_t reference) const {
  const Dict* fields = fieldsOf(reference);
  if (!fields) return {};
  const auto classRef = referenceIn(fields->find("$class")->second);
  if (!classRef || *classRef >= objects_->size()) return {};
  const Dict* classObject = (*objects_)[*classRef].ifDict();
  if (!classObject) return {};
  std::vector<std::string> chain;
  if (const Array* classes = findArray(*classObject, "$classes")) {
    for (const Value& c : *classes)
      if (const std::string* name = c.ifString()) chain.push_back(*name);
  }
  if (chain.empty()) {
    if (const std::string* name = findString(*classObject, "$classname")) chain.push_back(*name);
  }
  return chain;
}

const Dict* ArchiveReader::fieldsOf(std::uint64_t reference) const {
  if (reference >= objects_->size()) return nullptr;
  const Dict* fields = (*objects_)[reference].ifDict();
  if (!fields || !fields->contains("$class")) return nullptr;
  return fields;
}

Result<Value> ArchiveReader::decode(std::uint64_t reference) {
  auto decoded = decodeReference(reference, 0);
  if (!decoded) return Error{decoded.error()};
  return std::move(decoded->value);
}

Status ArchiveReader::checkSize(std::uint64_t size) const {
  if (size > limits_.maxNodes)
    return fail("more than " + std::to_string(limits_.maxNodes) + " values once shared objects are expanded");
  return Ok{};
}

Result<ArchiveReader::Decoded> ArchiveReader::decodeReference(std::uint64_t reference, std::size_t depth) {
  if (reference >= objects_->size())
    return fail("reference " + std::to_string(reference) + " is beyond the " + std::to_string(objects_->size()) + " objects");
  if (memo_[reference]) return *memo_[reference];
  if (progress_[reference] == Progress::Decoding) return fail("object " + std::to_string(reference) + " contains itself");
  if (depth >= limits_.maxDepth) return fail("objects nested deeper than " + std::to_string(limits_.maxDepth) + " levels");
  progress_[reference] = Progress::Decoding;
  auto decoded = decodeObject(reference, depth);
  progress_[reference] = Progress::Done;
  if (decoded) memo_[reference] = *decoded;
  return decoded;
}

Result<ArchiveReader::Decoded> ArchiveReader::decodeObject(std::uint64_t reference, std::size_t depth) {
  const Value& entry = (*objects_)[reference];
  if (reference == 0 && entry == Value("$null")) return Decoded{Value(), 1};
  switch (entry.type()) {
    case Value::Type::String:
    case Value::Type::Integer:
    case Value::Type::Real:
    case Value::Type::Bool:
    case Value::Type::Data:
    case Value::Type::Date: return Decoded{entry, 1};
    case Value::Type::Dict: break;
    default:
      return fail("object " + std::to_string(reference) + " is a " + typeName(entry.type()) + ", which no object is stored as");
  }
  const Dict& fields = *entry.ifDict();
  if (!fields.contains("$class")) return fail("object " + std::to_string(reference) + " is a dictionary without \"$class\"");
  const std::vector<std::string> chain = classChain(reference);
  if (chain.empty()) return fail("object " + std::to_string(reference) + " has no readable class");
  auto decoded = decodeClassObject(fields, chain, depth);
  if (!decoded) return fail("object " + std::to_string(reference) + " (" + chain.front() + "): " + decoded.error());
  return decoded;
}

Result<ArchiveReader::Decoded> ArchiveReader::decodeClassObject(const Dict& fields, const std::vector<std::string>& chain,
                                                                std::size_t depth) {
  if (chainHas(chain, {"NSDictionary", "NSMutableDictionary"})) return decodeDictionary(fields, depth);
  if (chainHas(chain, {"NSArray", "NSMutableArray", "NSSet", "NSMutableSet", "NSOrderedSet", "NSMutableOrderedSet"}))
    return decodeCollection(fields, depth);
  if (chainHas(chain, {"NSString", "NSMutableString"})) {
    if (auto it = fields.find("NS.string"); it != fields.end()) {
      auto text = decodeField(it->second, depth);
      if (text && text->value.ifString()) return text;
    }
    if (const Data* bytes = findData(fields, "NS.bytes"))
      return Decoded{Value(std::string(bytes->begin(), bytes->end())), 1};
    return Error{"a string without NS.string"};
  }
  if (chainHas(chain, {"NSData", "NSMutableData"})) {
    auto it = fields.find("NS.data");
    if (it == fields.end()) return Error{"data without NS.data"};
    auto data = decodeField(it->second, depth);
    if (!data || !data->value.ifData()) return Error{"NS.data holds no data"};
    return data;
  }
  if (chainHas(chain, {"NSDate"})) {
    auto it = fields.find("NS.time");
    const auto seconds = it == fields.end() ? std::nullopt
                         : it->second.ifReal() ? std::optional<double>(*it->second.ifReal())
                         : it->second.ifInteger() ? std::optional<double>(static_cast<double>(*it->second.ifInteger()))
                                                  : std::nullopt;
    if (!seconds) return Error{"a date without a numeric NS.time"};
    return Decoded{Value(Date{*seconds}), 1};
  }
  return decodeGenericObject(fields, chain.front(), depth);
}

Result<ArchiveReader::Decoded> ArchiveReader::decodeField(const Value& field, std::size_t depth) {
  if (auto reference = referenceIn(field)) return decodeReference(*reference, depth + 1);
  if (depth >= limits_.maxDepth) return fail("objects nested deeper than " + std::to_string(limits_.maxDepth) + " levels");
  if (const Array* items = field.ifArray()) {
    Array out;
    std::uint64_t size = 1;
    for (const Value& item : *items) {
      auto decoded = decodeField(item, depth + 1);
      if (!decoded) return decoded;
      size = saturatingAdd(size, decoded->expandedSize);
      if (auto s = checkSize(size); !s) return Error{s.error()};
      out.push_back(std::move(decoded->value));
    }
    return Decoded{Value(std::move(out)), size};
  }
  if (const Dict* entries = field.ifDict()) {
    Dict out;
    std::uint64_t size = 1;
    for (const auto& [key, item] : *entries) {
      auto decoded = decodeField(item, depth + 1);
      if (!decoded) return decoded;
      size = saturatingAdd(size, decoded->expandedSize);
      if (auto s = checkSize(size); !s) return Error{s.error()};
      out.emplace(key, std::move(decoded->value));
    }
    return Decoded{Value(std::move(out)), size};
  }
  return Decoded{field, 1};
}

Result<ArchiveReader::Decoded> ArchiveReader::decodeCollection(const Dict& fields, std::size_t depth) {
  auto it = fields.find("NS.objects");
  if (it == fields.end()) return Decoded{Value(Array{}), 1};
  const Array* items = it->second.ifArray();
  if (!items) return Error{"NS.objects is no array"};
  Array out;
  out.reserve(items->size());
  std::uint64_t size = 1;
  // Elements are taken at this object's depth: a collection is one level, not two.
  for (const Value& item : *items) {
    auto decoded = decodeField(item, depth);
    if (!decoded) return decoded;
    size = saturatingAdd(size, decoded->expandedSize);
    if (auto s = checkSize(size); !s) return Error{s.error()};
    out.push_back(std::move(decoded->value));
  }
  return Decoded{Value(std::move(out)), size};
}

Result<ArchiveReader::Decoded> ArchiveReader::decodeDictionary(const Dict& fields, std::size_t depth) {
  const Array* keys = findArray(fields, "NS.keys");
  const Array* values = findArray(fields, "NS.objects");
  if (!keys && !values) return Decoded{Value(Dict{}), 1};
  if (!keys || !values) return Error{"NS.keys or NS.objects is missing or no array"};
  if (keys->size() != values->size()) return Error{"NS.keys and NS.objects differ in length"};
  Dict out;
  std::uint64_t size = 1;
  for (std::size_t i = 0; i < keys->size(); ++i) {
    auto key = decodeField((*keys)[i], depth);
    if (!key) return key;
    const std::string* name = key->value.ifString();
    if (!name) return Error{"a dictionary key that is a " + std::string(typeName(key->value.type())) + ", not a string"};
    auto value = decodeField((*values)[i], depth);
    if (!value) return value;
    size = saturatingAdd(size, saturatingAdd(key->expandedSize, value->expandedSize));
    if (auto s = checkSize(size); !s) return Error{s.error()};
    out.insert_or_assign(*name, std::move(value->value));
  }
  return Decoded{Value(std::move(out)), size};
}

Result<ArchiveReader::Decoded> ArchiveReader::decodeGenericObject(const Dict& fields, const std::string& className,
                                                                  std::size_t depth) {
  Dict out;
  std::uint64_t size = 1;
  for (const auto& [key, field] : fields) {
    if (key == "$class") continue;
    auto decoded = decodeField(field, depth);
    if (!decoded) return decoded;
    size = saturatingAdd(size, decoded->expandedSize);
    if (auto s = checkSize(size); !s) return Error{s.error()};
    out.emplace(key, std::move(decoded->value));
  }
  out.insert_or_assign("$classname", className);
  return Decoded{Value(std::move(out)), size};
}

}  // namespace qv::pl::internal

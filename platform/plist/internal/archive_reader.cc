#include "platform/plist/internal/archive_reader.h"

#include <algorithm>

namespace qv::pl::internal {
namespace {

Error archiveFail(std::string message) {
  return Error{"keyed archive: " + std::move(message)};
}

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
  if (!parsed) return archiveFail(parsed.error());
  const Dict* archive = parsed->ifDict();
  if (!archive) return archiveFail("the property list is no dictionary");
  const Array* objects = findArray(*archive, "$objects");
  if (!objects) return archiveFail("no \"$objects\" array");
  const Dict* top = findDict(*archive, "$top");
  if (!top) return archiveFail("no \"$top\" dictionary");
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
  if (!root) return archiveFail("\"$top\" names no root object");
  auto reference = referenceIn(*root);
  if (!reference) return archiveFail("the root in \"$top\" is no reference");
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

// One object or inline container on its way to becoming a value: its children (field values,
// references or inline) are decoded in order into `results`, then `finish` shapes them.
struct ArchiveReader::Frame {
  enum class Shape { Dictionary, Array, StringField, DataField, Fields };
  Shape shape;
  std::optional<std::uint64_t> reference;  // set for objects, which are memoised
  std::string className;                   // for error messages and generic objects
  std::vector<const Value*> pending;
  std::vector<std::string> fieldNames;  // Fields: one per pending child
  std::size_t next = 0;
  std::vector<Value> results;
  std::uint64_t size = 1;
};

Result<Value> ArchiveReader::decode(std::uint64_t reference) {
  auto decoded = decodeIteratively(reference);
  if (!decoded) return Error{decoded.error()};
  return std::move(decoded->value);
}

Status ArchiveReader::checkSize(std::uint64_t size) const {
  if (size > limits_.maxNodes)
    return archiveFail("more than " + std::to_string(limits_.maxNodes) + " values once shared objects are expanded");
  return Ok{};
}

Result<ArchiveReader::Decoded> ArchiveReader::decodeIteratively(std::uint64_t reference) {
  std::vector<Frame> frames;
  auto rootStart = startObject(reference, frames);
  if (!rootStart) return Error{rootStart.error()};
  if (*rootStart) return std::move(**rootStart);
  // Objects left half-decoded by an error are reset, so a later decode() reports the same
  // error rather than mistaking them for a cycle.
  auto abandon = [&](std::string message) -> Result<Decoded> {
    for (const Frame& f : frames)
      if (f.reference) progress_[*f.reference] = Progress::NotStarted;
    return Error{std::move(message)};
  };
  while (true) {
    Frame& top = frames.back();
    if (top.next < top.pending.size()) {
      const Value& child = *top.pending[top.next++];
      auto started = startChild(child, frames);  // may push, invalidating `top`
      if (!started) return abandon(started.error());
      if (!*started) continue;
      Frame& parent = frames.back();
      parent.size = saturatingAdd(parent.size, (*started)->expandedSize);
      if (auto s = checkSize(parent.size); !s) return abandon(s.error());
      parent.results.push_back(std::move((*started)->value));
      continue;
    }
    auto done = finish(top);
    if (!done) return abandon(done.error());
    if (top.reference) {
      progress_[*top.reference] = Progress::Done;
      memo_[*top.reference] = *done;
    }
    frames.pop_back();
    if (frames.empty()) return done;
    Frame& parent = frames.back();
    parent.size = saturatingAdd(parent.size, done->expandedSize);
    if (auto s = checkSize(parent.size); !s) return abandon(s.error());
    parent.results.push_back(std::move(done->value));
  }
}

Result<std::optional<ArchiveReader::Decoded>> ArchiveReader::startChild(const Value& field, std::vector<Frame>& frames) {
  if (auto reference = referenceIn(field)) return startObject(*reference, frames);
  const Array* items = field.ifArray();
  const Dict* entries = field.ifDict();
  if (!items && !entries) return std::optional<Decoded>(Decoded{field, 1});
  if (frames.size() >= limits_.maxDepth)
    return archiveFail("objects nested deeper than " + std::to_string(limits_.maxDepth) + " levels");
  Frame frame{items ? Frame::Shape::Array : Frame::Shape::Fields, std::nullopt, {}, {}, {}, 0, {}, 1};
  if (items) {
    for (const Value& item : *items) frame.pending.push_back(&item);
  } else {
    for (const auto& [key, item] : *entries) {
      frame.fieldNames.push_back(key);
      frame.pending.push_back(&item);
    }
  }
  frames.push_back(std::move(frame));
  return std::optional<Decoded>();
}

Result<std::optional<ArchiveReader::Decoded>> ArchiveReader::startObject(std::uint64_t reference,
                                                                         std::vector<Frame>& frames) {
  const std::string where = "object " + std::to_string(reference);
  if (reference >= objects_->size())
    return archiveFail("reference " + std::to_string(reference) + " is beyond the " + std::to_string(objects_->size()) +
                       " objects");
  if (memo_[reference]) return std::optional<Decoded>(*memo_[reference]);
  if (progress_[reference] == Progress::Decoding) return archiveFail(where + " contains itself");
  const Value& entry = (*objects_)[reference];
  if (reference == 0 && entry == Value("$null")) return std::optional<Decoded>(Decoded{Value(), 1});
  switch (entry.type()) {
    case Value::Type::String:
    case Value::Type::Integer:
    case Value::Type::Real:
    case Value::Type::Bool:
    case Value::Type::Data:
    case Value::Type::Date: return std::optional<Decoded>(Decoded{entry, 1});
    case Value::Type::Dict: break;
    default:
      return archiveFail(where + " is a " + typeName(entry.type()) + ", which no object is stored as");
  }
  const Dict& fields = *entry.ifDict();
  if (!fields.contains("$class")) return archiveFail(where + " is a dictionary without \"$class\"");
  const std::vector<std::string> chain = classChain(reference);
  if (chain.empty()) return archiveFail(where + " has no readable class");
  if (frames.size() >= limits_.maxDepth)
    return archiveFail("objects nested deeper than " + std::to_string(limits_.maxDepth) + " levels");
  const std::string context = where + " (" + chain.front() + "): ";

  Frame frame{Frame::Shape::Fields, reference, chain.front(), {}, {}, 0, {}, 1};
  auto pendingArray = [&](const char* key) -> bool {
    auto it = fields.find(key);
    if (it == fields.end()) return true;
    const Array* items = it->second.ifArray();
    if (!items) return false;
    for (const Value& item : *items) frame.pending.push_back(&item);
    return true;
  };
  if (chainHas(chain, {"NSDictionary", "NSMutableDictionary"})) {
    frame.shape = Frame::Shape::Dictionary;
    const Array* keys = findArray(fields, "NS.keys");
    const Array* values = findArray(fields, "NS.objects");
    if (fields.contains("NS.keys") != fields.contains("NS.objects") || (fields.contains("NS.keys") && (!keys || !values)))
      return archiveFail(context + "NS.keys or NS.objects is missing or no array");
    if (keys && keys->size() != values->size()) return archiveFail(context + "NS.keys and NS.objects differ in length");
    pendingArray("NS.keys");
    pendingArray("NS.objects");
  } else if (chainHas(chain, {"NSArray", "NSMutableArray", "NSSet", "NSMutableSet", "NSOrderedSet", "NSMutableOrderedSet"})) {
    frame.shape = Frame::Shape::Array;
    if (!pendingArray("NS.objects")) return archiveFail(context + "NS.objects is no array");
  } else if (chainHas(chain, {"NSString", "NSMutableString"})) {
    if (auto it = fields.find("NS.string"); it != fields.end()) {
      frame.shape = Frame::Shape::StringField;
      frame.pending.push_back(&it->second);
    } else if (const Data* bytes = findData(fields, "NS.bytes")) {
      return std::optional<Decoded>(Decoded{Value(std::string(bytes->begin(), bytes->end())), 1});
    } else {
      return archiveFail(context + "a string without NS.string");
    }
  } else if (chainHas(chain, {"NSData", "NSMutableData"})) {
    auto it = fields.find("NS.data");
    if (it == fields.end()) return archiveFail(context + "data without NS.data");
    frame.shape = Frame::Shape::DataField;
    frame.pending.push_back(&it->second);
  } else if (chainHas(chain, {"NSDate"})) {
    auto it = fields.find("NS.time");
    const Value* time = it == fields.end() ? nullptr : &it->second;
    if (time && time->ifReal()) return std::optional<Decoded>(Decoded{Value(Date{*time->ifReal()}), 1});
    if (time && time->ifInteger())
      return std::optional<Decoded>(Decoded{Value(Date{static_cast<double>(*time->ifInteger())}), 1});
    return archiveFail(context + "a date without a numeric NS.time");
  } else {
    for (const auto& [key, field] : fields) {
      if (key == "$class") continue;
      frame.fieldNames.push_back(key);
      frame.pending.push_back(&field);
    }
  }
  progress_[reference] = Progress::Decoding;
  frames.push_back(std::move(frame));
  return std::optional<Decoded>();
}

Result<ArchiveReader::Decoded> ArchiveReader::finish(Frame& frame) {
  const std::string context =
      frame.reference ? "object " + std::to_string(*frame.reference) + " (" + frame.className + "): " : std::string();
  switch (frame.shape) {
    case Frame::Shape::Array: return Decoded{Value(Array(std::move(frame.results))), frame.size};
    case Frame::Shape::Dictionary: {
      const std::size_t pairs = frame.results.size() / 2;
      Dict out;
      for (std::size_t i = 0; i < pairs; ++i) {
        const std::string* key = frame.results[i].ifString();
        if (!key)
          return archiveFail(context + "a dictionary key that is a " + typeName(frame.results[i].type()) +
                             ", not a string");
        out.insert_or_assign(*key, std::move(frame.results[pairs + i]));
      }
      return Decoded{Value(std::move(out)), frame.size};
    }
    case Frame::Shape::StringField:
      if (!frame.results.front().ifString()) return archiveFail(context + "NS.string holds no string");
      return Decoded{std::move(frame.results.front()), 1};
    case Frame::Shape::DataField:
      if (!frame.results.front().ifData()) return archiveFail(context + "NS.data holds no data");
      return Decoded{std::move(frame.results.front()), 1};
    case Frame::Shape::Fields: {
      Dict out;
      for (std::size_t i = 0; i < frame.results.size(); ++i) out.emplace(frame.fieldNames[i], std::move(frame.results[i]));
      if (frame.reference) out.insert_or_assign("$classname", frame.className);
      return Decoded{Value(std::move(out)), frame.size};
    }
  }
  return archiveFail(context + "unknown shape");
}

}  // namespace qv::pl::internal

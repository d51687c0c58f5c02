#include "platform/plist/internal/libplist_bridge.h"

#include <plist/plist.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/plist/internal/utf8.h"

namespace qv::pl::internal {
namespace {

// Trees are cut every this many levels before freeing, keeping plist_free's recursion short.
constexpr std::size_t kTeardownSlice = 256;

struct TreeDeleter {
  void operator()(void* node) const { plist_free(node); }
};
using OwnedTree = std::unique_ptr<void, TreeDeleter>;

struct BufferDeleter {
  void operator()(char* p) const { std::free(p); }
};
using OwnedBuffer = std::unique_ptr<char, BufferDeleter>;

bool isContainer(plist_t node) {
  const plist_type t = plist_get_node_type(node);
  return t == PLIST_ARRAY || t == PLIST_DICT;
}

// Visits the children of an array or dictionary in order, whichever it is.
class ChildIterator {
 public:
  explicit ChildIterator(plist_t node) : node_(node), isDict_(plist_get_node_type(node) == PLIST_DICT) {
    if (isDict_)
      plist_dict_new_iter(node_, &iter_);
    else
      plist_array_new_iter(node_, &iter_);
  }
  ~ChildIterator() { std::free(iter_); }
  ChildIterator(ChildIterator&& o) noexcept : node_(o.node_), isDict_(o.isDict_), iter_(o.iter_) { o.iter_ = nullptr; }
  ChildIterator(const ChildIterator&) = delete;
  ChildIterator& operator=(const ChildIterator&) = delete;

  // The next child, or null at the end; `key` receives its dictionary key.
  plist_t next(std::string* key) {
    plist_t child = nullptr;
    if (isDict_) {
      char* rawKey = nullptr;
      plist_dict_next_item(node_, iter_, &rawKey, &child);
      if (key) key->assign(rawKey ? rawKey : "");
      std::free(rawKey);
    } else {
      plist_array_next_item(node_, iter_, &child);
    }
    return child;
  }
  bool isDict() const { return isDict_; }
  plist_t node() const { return node_; }

 private:
  plist_t node_;
  bool isDict_;
  void* iter_ = nullptr;
};

// Frees a tree of any depth: subtrees at every kTeardownSlice-th level are cut off and freed
// deepest first, so each plist_free call recurses at most one slice deep.
void releaseDeepTree(plist_t root) {
  std::vector<plist_t> cuts;
  std::vector<ChildIterator> path;
  path.emplace_back(root);
  while (!path.empty()) {
    plist_t child = path.back().next(nullptr);
    if (!child) {
      path.pop_back();
      continue;
    }
    if (!isContainer(child)) continue;
    if (path.size() % kTeardownSlice == 0) cuts.push_back(child);
    path.emplace_back(child);
  }
  // Preorder puts descendants after their ancestors, so reverse order frees deepest first.
  for (auto it = cuts.rbegin(); it != cuts.rend(); ++it) {
    plist_t node = *it;
    plist_t parent = plist_get_parent(node);
    if (plist_get_node_type(parent) == PLIST_ARRAY) {
      plist_array_item_remove(node);
      continue;
    }
    char* key = nullptr;
    plist_get_key_val(plist_dict_item_get_key(node), &key);
    // With duplicate keys the lookup may find a sibling; leaking beats freeing the wrong node.
    if (key && plist_dict_get_item(parent, key) == node) plist_dict_remove_item(parent, key);
    std::free(key);
  }
  plist_free(root);
}

// The single object of a one-object binary property list that libplist writes for `node`.
// libplist 2.2.0's getters clamp dates to 32-bit seconds and hide the unsigned flag of
// integers, but its writer emits both faithfully.
std::vector<std::uint8_t> writtenScalar(plist_t node) {
  char* raw = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(node, &raw, &length);
  OwnedBuffer owned(raw);
  constexpr std::size_t kObjectStart = 8;
  if (!raw || length < kObjectStart + 1) return {};
  return std::vector<std::uint8_t>(raw + kObjectStart, raw + length);
}

double dateOf(plist_t node) {
  const std::vector<std::uint8_t> object = writtenScalar(node);
  if (object.size() < 9 || object[0] != 0x33) return 0;
  std::uint64_t bits = 0;
  for (int i = 1; i <= 8; ++i) bits = (bits << 8) | object[i];
  double seconds;
  std::memcpy(&seconds, &bits, sizeof seconds);
  return seconds;
}

Value integerOf(plist_t node) {
  std::uint64_t raw = 0;
  plist_get_uint_val(node, &raw);
  if (raw <= static_cast<std::uint64_t>(INT64_MAX)) return Value(static_cast<std::int64_t>(raw));
  // libplist writes unsigned values above INT64_MAX as 16-byte integers (marker 0x14).
  const std::vector<std::uint8_t> object = writtenScalar(node);
  if (!object.empty() && object[0] == 0x14) return Value::unsignedInteger(raw);
  return Value(static_cast<std::int64_t>(raw));
}

Result<Value> scalarValue(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return Value(b != 0);
    }
    case PLIST_UINT: return integerOf(node);
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return Value(d);
    }
    case PLIST_STRING: {
      std::uint64_t length = 0;
      const char* s = plist_get_string_ptr(node, &length);
      return Value(std::string(s ? s : "", s ? length : 0));
    }
    case PLIST_DATA: {
      std::uint64_t length = 0;
      const char* d = plist_get_data_ptr(node, &length);
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(d);
      return Value(Data(bytes, bytes + (d ? length : 0)));
    }
    case PLIST_DATE: return Value(Date{dateOf(node)});
    case PLIST_UID: {
      std::uint64_t index = 0;
      plist_get_uid_val(node, &index);
      return Value(Uid{index});
    }
    case PLIST_KEY: return Error{"a <key> outside a dictionary"};
    default: return Error{"a node of no property-list type"};
  }
}

// One container being converted; its children accumulate until its iterator runs out.
struct OpenContainer {
  ChildIterator children;
  std::string keyInParent;
  Array items;
  Dict entries;
};

void attach(OpenContainer& parent, std::string key, Value child) {
  if (parent.children.isDict())
    parent.entries.insert_or_assign(std::move(key), std::move(child));
  else
    parent.items.push_back(std::move(child));
}

Result<Value> convertTree(plist_t root, const ReadLimits& limits) {
  if (!isContainer(root)) return scalarValue(root);
  std::vector<OpenContainer> open;
  open.push_back(OpenContainer{ChildIterator(root), {}, {}, {}});
  std::size_t nodes = 1;
  while (true) {
    OpenContainer& top = open.back();
    std::string key;
    plist_t child = top.children.next(&key);
    if (!child) {
      Value done = top.children.isDict() ? Value(std::move(top.entries)) : Value(std::move(top.items));
      std::string doneKey = std::move(top.keyInParent);
      open.pop_back();
      if (open.empty()) return done;
      attach(open.back(), std::move(doneKey), std::move(done));
      continue;
    }
    if (++nodes > limits.maxNodes) return Error{"more than " + std::to_string(limits.maxNodes) + " values"};
    if (isContainer(child)) {
      if (open.size() >= limits.maxDepth)
        return Error{"nesting deeper than " + std::to_string(limits.maxDepth) + " levels"};
      open.push_back(OpenContainer{ChildIterator(child), std::move(key), {}, {}});
      continue;
    }
    auto scalar = scalarValue(child);
    if (!scalar) return scalar;
    attach(top, std::move(key), std::move(*scalar));
  }
}

// ---- writing ----

bool isValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();)
    if (!nextCodePoint(s, i)) return false;
  return true;
}

Status checkText(std::string_view s, Format format, const char* what) {
  if (s.find('\0') != std::string_view::npos) return Error{std::string(what) + " holds a NUL character"};
  if (!isValidUtf8(s)) return Error{std::string(what) + " is not valid UTF-8"};
  if (format == Format::Xml) {
    for (unsigned char c : s)
      if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
        return Error{std::string(what) + " holds a control character XML cannot carry"};
  }
  return Ok{};
}

// Builds a scalar node through libplist's reader, whose nodes carry full-range dates and
// unsigned integers that plist_new_date and plist_new_uint cannot make.
plist_t scalarFromBinary(std::uint8_t marker, const std::uint8_t* payload, std::size_t size) {
  std::vector<std::uint8_t> doc = {'b', 'p', 'l', 'i', 's', 't', '0', '0', marker};
  doc.insert(doc.end(), payload, payload + size);
  const std::uint8_t tableStart = static_cast<std::uint8_t>(doc.size());
  doc.push_back(8);  // the one offset: the object right after the header
  const std::uint8_t trailer[32] = {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1,
                                    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, tableStart};
  doc.insert(doc.end(), trailer, trailer + 32);
  plist_t node = nullptr;
  plist_from_bin(reinterpret_cast<const char*>(doc.data()), static_cast<std::uint32_t>(doc.size()), &node);
  return node;
}

plist_t dateNode(double seconds) {
  std::uint64_t bits;
  std::memcpy(&bits, &seconds, sizeof bits);
  std::uint8_t payload[8];
  for (int i = 7; i >= 0; --i, bits >>= 8) payload[i] = static_cast<std::uint8_t>(bits);
  return scalarFromBinary(0x33, payload, 8);
}

plist_t unsignedNode(std::uint64_t value) {
  std::uint8_t payload[16] = {};
  for (int i = 15; i >= 8; --i, value >>= 8) payload[i] = static_cast<std::uint8_t>(value);
  return scalarFromBinary(0x14, payload, 16);
}

// Dates XML can spell: years 1 to 9999, roughly.
constexpr double kXmlDateLimit = 2.5e11;

class TreeBuilder {
 public:
  explicit TreeBuilder(Format format) : format_(format) {}

  Result<OwnedTree> build(const Value& v, std::size_t depth) {
    if (depth > kDepthCeiling) return Error{"nested deeper than " + std::to_string(kDepthCeiling) + " levels"};
    switch (v.type()) {
      case Value::Type::Null: return Error{"a null value has no property-list form"};
      case Value::Type::Bool: return OwnedTree(plist_new_bool(*v.ifBool()));
      case Value::Type::Integer:
        if (v.isUnsigned64()) return OwnedTree(unsignedNode(static_cast<std::uint64_t>(*v.ifInteger())));
        return OwnedTree(plist_new_uint(static_cast<std::uint64_t>(*v.ifInteger())));
      case Value::Type::Real: return OwnedTree(plist_new_real(*v.ifReal()));
      case Value::Type::String:
        if (auto s = checkText(*v.ifString(), format_, "a string"); !s) return Error{s.error()};
        return OwnedTree(plist_new_string(v.ifString()->c_str()));
      case Value::Type::Data: {
        const Data& d = *v.ifData();
        return OwnedTree(plist_new_data(reinterpret_cast<const char*>(d.data()), d.size()));
      }
      case Value::Type::Date: {
        const double s = v.ifDate()->sinceReference;
        if (!std::isfinite(s)) return Error{"a date that is not a finite time"};
        if (format_ == Format::Xml && std::fabs(s) > kXmlDateLimit) return Error{"a date outside the years XML can spell"};
        return OwnedTree(dateNode(s));
      }
      case Value::Type::Uid:
        if (format_ == Format::Xml) return Error{"a uid can only be written in a binary property list"};
        return OwnedTree(plist_new_uid(v.ifUid()->index));
      case Value::Type::Array: {
        OwnedTree array(plist_new_array());
        for (const Value& e : *v.ifArray()) {
          auto child = build(e, depth + 1);
          if (!child) return child;
          plist_array_append_item(array.get(), child->release());
        }
        return array;
      }
      case Value::Type::Dict: {
        OwnedTree dict(plist_new_dict());
        for (const auto& [key, e] : *v.ifDict()) {
          if (auto s = checkText(key, format_, "a dictionary key"); !s) return Error{s.error()};
          auto child = build(e, depth + 1);
          if (!child) return child;
          plist_dict_set_item(dict.get(), key.c_str(), child->release());
        }
        return dict;
      }
    }
    return Error{"a value of unknown type"};
  }

 private:
  Format format_;
};

}  // namespace

std::vector<std::string> binaryTopDictionaryKeys(std::span<const std::uint8_t> bytes) {
  plist_t root = nullptr;
  plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), &root);
  const OwnedTree tree(root);
  std::vector<std::string> keys;
  if (!root || plist_get_node_type(root) != PLIST_DICT) return keys;
  ChildIterator children(root);
  for (std::string key; children.next(&key);) keys.push_back(key);
  return keys;
}

Result<Value> readWithLibplist(std::span<const std::uint8_t> bytes, Format format, const ReadLimits& limits) {
  plist_t root = nullptr;
  const auto* text = reinterpret_cast<const char*>(bytes.data());
  const auto length = static_cast<std::uint32_t>(bytes.size());
  if (format == Format::Binary)
    plist_from_bin(text, length, &root);
  else
    plist_from_xml(text, length, &root);
  const char* formatName = format == Format::Binary ? "binary property list: " : "XML property list: ";
  if (!root) return Error{std::string(formatName) + "not readable as a property list"};
  auto converted = convertTree(root, limits);
  if (converted) {
    plist_free(root);
    return converted;
  }
  // The tree broke a limit, so it may be too deep for plist_free's recursion.
  releaseDeepTree(root);
  return Error{formatName + converted.error()};
}

Result<std::vector<std::uint8_t>> writeWithLibplist(const Value& v, Format format) {
  auto tree = TreeBuilder(format).build(v, 0);
  if (!tree) return Error{"cannot write " + std::string(format == Format::Xml ? "XML" : "binary") + ": " + tree.error()};
  if (!*tree) return Error{"cannot write: libplist could not build a node"};
  char* raw = nullptr;
  std::uint32_t length = 0;
  if (format == Format::Binary)
    plist_to_bin(tree->get(), &raw, &length);
  else
    plist_to_xml(tree->get(), &raw, &length);
  OwnedBuffer owned(raw);
  if (!raw || length == 0) return Error{"cannot write: libplist produced no output"};
  return std::vector<std::uint8_t>(raw, raw + length);
}

}  // namespace qv::pl::internal

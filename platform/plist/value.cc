#include "platform/plist/value.h"

#include <cmath>
#include <cstdio>

namespace qv::pl {

Value Value::unsignedInteger(std::uint64_t u) {
  Value v(static_cast<std::int64_t>(u));
  v.unsigned64_ = u > static_cast<std::uint64_t>(INT64_MAX);
  return v;
}

const Array* Value::ifArray() const {
  auto p = std::get_if<std::shared_ptr<const Array>>(&v_);
  return p ? p->get() : nullptr;
}

const Dict* Value::ifDict() const {
  auto p = std::get_if<std::shared_ptr<const Dict>>(&v_);
  return p ? p->get() : nullptr;
}

const Value* Value::find(std::string_view key) const {
  const Dict* d = ifDict();
  if (!d) return nullptr;
  auto it = d->find(key);
  return it == d->end() ? nullptr : &it->second;
}

std::optional<std::int64_t> Value::numberAsInteger() const {
  if (auto i = ifInteger()) return *i;
  if (auto r = ifReal()) {
    if (!std::isfinite(*r) || *r >= 9.2e18 || *r <= -9.2e18) return std::nullopt;
    return static_cast<std::int64_t>(*r);
  }
  if (auto b = ifBool()) return *b ? 1 : 0;
  return std::nullopt;
}

std::optional<bool> Value::boolValue() const {
  if (auto b = ifBool()) return *b;
  if (auto i = ifInteger()) return *i != 0;
  if (auto r = ifReal()) return *r != 0.0;
  if (auto s = ifString()) return stringBoolValue(*s);
  return std::nullopt;
}

bool stringBoolValue(std::string_view s) {
  std::size_t i = 0;
  auto isWhiteSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
  while (i < s.size() && isWhiteSpace(s[i])) ++i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  while (i < s.size() && s[i] == '0') ++i;
  if (i == s.size()) return false;
  const char c = s[i];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

namespace {
void describeInto(const Value& v, std::string& out, int depth) {
  if (depth > 16) {
    out += "...";
    return;
  }
  char buf[64];
  switch (v.type()) {
    case Value::Type::Null: out += "null"; break;
    case Value::Type::Bool: out += *v.ifBool() ? "true" : "false"; break;
    case Value::Type::Integer:
      if (v.isUnsigned64())
        std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(*v.ifInteger()));
      else
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(*v.ifInteger()));
      out += buf;
      break;
    case Value::Type::Real:
      std::snprintf(buf, sizeof buf, "%g", *v.ifReal());
      out += buf;
      break;
    case Value::Type::String:
      out += '"';
      out += *v.ifString();
      out += '"';
      break;
    case Value::Type::Data:
      std::snprintf(buf, sizeof buf, "<%zu bytes>", v.ifData()->size());
      out += buf;
      break;
    case Value::Type::Date:
      std::snprintf(buf, sizeof buf, "date(%g)", v.ifDate()->sinceReference);
      out += buf;
      break;
    case Value::Type::Uid:
      std::snprintf(buf, sizeof buf, "uid(%llu)", static_cast<unsigned long long>(v.ifUid()->index));
      out += buf;
      break;
    case Value::Type::Array: {
      out += '[';
      bool first = true;
      for (const Value& e : *v.ifArray()) {
        if (!first) out += ", ";
        first = false;
        describeInto(e, out, depth + 1);
      }
      out += ']';
      break;
    }
    case Value::Type::Dict: {
      out += '{';
      bool first = true;
      for (const auto& [k, e] : *v.ifDict()) {
        if (!first) out += ", ";
        first = false;
        out += k;
        out += ": ";
        describeInto(e, out, depth + 1);
      }
      out += '}';
      break;
    }
  }
}
}  // namespace

std::string Value::describe() const {
  std::string out;
  describeInto(*this, out, 0);
  return out;
}

bool operator==(const Value& a, const Value& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case Value::Type::Null: return true;
    case Value::Type::Bool: return *a.ifBool() == *b.ifBool();
    case Value::Type::Integer:
      return *a.ifInteger() == *b.ifInteger() && a.unsigned64_ == b.unsigned64_;
    case Value::Type::Real: return *a.ifReal() == *b.ifReal();
    case Value::Type::String: return *a.ifString() == *b.ifString();
    case Value::Type::Data: return *a.ifData() == *b.ifData();
    case Value::Type::Date: return *a.ifDate() == *b.ifDate();
    case Value::Type::Uid: return *a.ifUid() == *b.ifUid();
    case Value::Type::Array: return *a.ifArray() == *b.ifArray();
    case Value::Type::Dict: return *a.ifDict() == *b.ifDict();
  }
  return false;
}

const char* typeName(Value::Type t) {
  switch (t) {
    case Value::Type::Null: return "null";
    case Value::Type::Bool: return "boolean";
    case Value::Type::Integer: return "integer";
    case Value::Type::Real: return "real";
    case Value::Type::String: return "string";
    case Value::Type::Data: return "data";
    case Value::Type::Date: return "date";
    case Value::Type::Uid: return "uid";
    case Value::Type::Array: return "array";
    case Value::Type::Dict: return "dictionary";
  }
  return "?";
}

const std::string* findString(const Dict& d, std::string_view key) {
  auto it = d.find(key);
  return it == d.end() ? nullptr : it->second.ifString();
}
const Dict* findDict(const Dict& d, std::string_view key) {
  auto it = d.find(key);
  return it == d.end() ? nullptr : it->second.ifDict();
}
const Array* findArray(const Dict& d, std::string_view key) {
  auto it = d.find(key);
  return it == d.end() ? nullptr : it->second.ifArray();
}
const Data* findData(const Dict& d, std::string_view key) {
  auto it = d.find(key);
  return it == d.end() ? nullptr : it->second.ifData();
}
const std::string* findString(const Value* dict, std::string_view key) {
  const Dict* d = dict ? dict->ifDict() : nullptr;
  return d ? findString(*d, key) : nullptr;
}
const Dict* findDict(const Value* dict, std::string_view key) {
  const Dict* d = dict ? dict->ifDict() : nullptr;
  return d ? findDict(*d, key) : nullptr;
}

}  // namespace qv::pl

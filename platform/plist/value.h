// Property-list values: the one value type the system and the host share for settings,
// payloads, contexts and archives. Immutable containers are shared, so copies are cheap.
// Thread-safe for concurrent reads. Example:
//   pl::Value ctx = pl::Dict{{"remoteNotification", pl::Dict{{"aps", pl::Dict{}}}}};
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qv::pl {

class Value;
using Array = std::vector<Value>;
using Dict = std::map<std::string, Value, std::less<>>;
using Data = std::vector<std::uint8_t>;

// Seconds since 2001-01-01 00:00:00 UTC, the property-list epoch.
struct Date {
  double sinceReference = 0;
  friend bool operator==(const Date&, const Date&) = default;
};

// A keyed-archive object reference; only binary property lists carry these.
struct Uid {
  std::uint64_t index = 0;
  friend bool operator==(const Uid&, const Uid&) = default;
};

class Value {
 public:
  enum class Type { Null, Bool, Integer, Real, String, Data, Date, Uid, Array, Dict };

  Value() = default;
  Value(bool b) : v_(b) {}
  Value(int i) : v_(std::int64_t{i}) {}
  Value(std::int64_t i) : v_(i) {}
  Value(double d) : v_(d) {}
  Value(const char* s) : v_(std::string(s)) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(std::string_view s) : v_(std::string(s)) {}
  Value(pl::Data d) : v_(std::move(d)) {}
  Value(pl::Date d) : v_(d) {}
  Value(pl::Uid u) : v_(u) {}
  Value(pl::Array a) : v_(std::make_shared<const pl::Array>(std::move(a))) {}
  Value(pl::Dict d) : v_(std::make_shared<const pl::Dict>(std::move(d))) {}
  // An unsigned integer above INT64_MAX keeps its bits and its unsignedness.
  static Value unsignedInteger(std::uint64_t u);

  Type type() const { return static_cast<Type>(v_.index()); }
  bool isNull() const { return type() == Type::Null; }

  // Typed views: null when the value holds another type. Never throw.
  const bool* ifBool() const { return std::get_if<bool>(&v_); }
  const std::int64_t* ifInteger() const { return std::get_if<std::int64_t>(&v_); }
  const double* ifReal() const { return std::get_if<double>(&v_); }
  const std::string* ifString() const { return std::get_if<std::string>(&v_); }
  const pl::Data* ifData() const { return std::get_if<pl::Data>(&v_); }
  const pl::Date* ifDate() const { return std::get_if<pl::Date>(&v_); }
  const pl::Uid* ifUid() const { return std::get_if<pl::Uid>(&v_); }
  const pl::Array* ifArray() const;
  const pl::Dict* ifDict() const;
  bool isUnsigned64() const { return unsigned64_; }

  // Dictionary member, or null when this is no dictionary or the key is absent.
  const Value* find(std::string_view key) const;

  // A number as the platform's number objects read it: integers, reals and booleans.
  std::optional<std::int64_t> numberAsInteger() const;
  // The value's boolean as the platform's objects answer `boolValue`: booleans, numbers (non-zero)
  // and strings (see stringBoolValue); none for arrays, dictionaries, data, dates and uids.
  std::optional<bool> boolValue() const;

  // A short single-line rendering for traces and test messages.
  std::string describe() const;

  friend bool operator==(const Value& a, const Value& b);

 private:
  std::variant<std::monostate, bool, std::int64_t, double, std::string, pl::Data, pl::Date, pl::Uid,
               std::shared_ptr<const pl::Array>, std::shared_ptr<const pl::Dict>>
      v_;
  bool unsigned64_ = false;
};

const char* typeName(Value::Type t);

// A string's `boolValue` as the platform reads it: after leading white space, one optional sign
// and any leading zeros, true when the next character is Y, y, T, t or a digit 1-9; otherwise
// false ("YES", "true", "1", " +007" are true; "NO", "0", "", "on", "-0" are false).
bool stringBoolValue(std::string_view s);

// Typed lookups in a dictionary: a value of another type reads as absent.
const std::string* findString(const Dict& d, std::string_view key);
const Dict* findDict(const Dict& d, std::string_view key);
const Array* findArray(const Dict& d, std::string_view key);
const Data* findData(const Dict& d, std::string_view key);
const std::string* findString(const Value* dict, std::string_view key);
const Dict* findDict(const Value* dict, std::string_view key);

}  // namespace qv::pl

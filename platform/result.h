// A small result type for input read from files and data: a value, or a message saying where
// the input went wrong and what was expected. Never throws.
//   Result<pl::Value> r = readPropertyList(bytes);  if (!r) log(r.error());
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace qv {

struct Error {
  std::string message;
};

template <class T>
class Result {
 public:
  Result(T value) : v_(std::move(value)) {}
  Result(Error e) : v_(std::move(e)) {}

  explicit operator bool() const { return v_.index() == 0; }
  bool ok() const { return v_.index() == 0; }
  T& value() & { return std::get<0>(v_); }
  const T& value() const& { return std::get<0>(v_); }
  T&& value() && { return std::get<0>(std::move(v_)); }
  T* operator->() { return &std::get<0>(v_); }
  const T* operator->() const { return &std::get<0>(v_); }
  T& operator*() & { return std::get<0>(v_); }
  const T& operator*() const& { return std::get<0>(v_); }
  const std::string& error() const { return std::get<1>(v_).message; }

 private:
  std::variant<T, Error> v_;
};

// For operations that produce nothing but can fail.
struct Ok {};
using Status = Result<Ok>;

}  // namespace qv

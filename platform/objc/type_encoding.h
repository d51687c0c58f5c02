// The Objective-C type string of a C++ method signature, as the device's 64-bit runtime spells
// it: return type, then self ('@') and the selector (':'), then each argument. A C++ value that
// stands for an object on the device (a string for NSString, a property-list value, a map or a
// list, an object reference) encodes as '@', a block (std::function) as "@?". Every method gets
// a type string, because the real runtime refuses a method without one.
//   objc::typeEncoding<bool(objc::Sel)>() == "B@::"
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/objc/selector.h"

namespace qv::objc {

template <class T, class = void>
struct TypeEncoding {
  // Any other class type stands for an object on the device.
  static_assert(std::is_class_v<T> || std::is_pointer_v<T>, "no Objective-C encoding for this type");
  static constexpr const char* value = "@";
};
template <class T>
struct TypeEncoding<T, std::enable_if_t<std::is_enum_v<T>>> : TypeEncoding<std::underlying_type_t<T>> {};
template <> struct TypeEncoding<void> { static constexpr const char* value = "v"; };
template <> struct TypeEncoding<bool> { static constexpr const char* value = "B"; };
template <> struct TypeEncoding<signed char> { static constexpr const char* value = "c"; };
template <> struct TypeEncoding<char> { static constexpr const char* value = "c"; };
template <> struct TypeEncoding<unsigned char> { static constexpr const char* value = "C"; };
template <> struct TypeEncoding<short> { static constexpr const char* value = "s"; };
template <> struct TypeEncoding<unsigned short> { static constexpr const char* value = "S"; };
template <> struct TypeEncoding<int> { static constexpr const char* value = "i"; };
template <> struct TypeEncoding<unsigned> { static constexpr const char* value = "I"; };
template <> struct TypeEncoding<long> { static constexpr const char* value = "q"; };
template <> struct TypeEncoding<unsigned long> { static constexpr const char* value = "Q"; };
template <> struct TypeEncoding<long long> { static constexpr const char* value = "q"; };
template <> struct TypeEncoding<unsigned long long> { static constexpr const char* value = "Q"; };
template <> struct TypeEncoding<float> { static constexpr const char* value = "f"; };
template <> struct TypeEncoding<double> { static constexpr const char* value = "d"; };
template <> struct TypeEncoding<Sel> { static constexpr const char* value = ":"; };
template <class R, class... A>
struct TypeEncoding<std::function<R(A...)>> { static constexpr const char* value = "@?"; };

template <class F>
struct SignatureEncoding;
template <class R, class... A>
struct SignatureEncoding<R(A...)> {
  static std::string make() {
    std::string s = TypeEncoding<std::remove_cvref_t<R>>::value;
    s += "@:";
    ((s += TypeEncoding<std::remove_cvref_t<A>>::value), ...);
    return s;
  }
};

// The type string of a method with signature F (built once per signature).
template <class F>
const std::string& typeEncoding() {
  static const std::string s = SignatureEncoding<F>::make();
  return s;
}

}  // namespace qv::objc

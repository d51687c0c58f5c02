// Typed message signatures shared by every class-runtime binding: the identity of a signature
// R(A...), an implementation tagged with its signature, the error a send or a hook raises for a
// programmer mistake, and a readable name for a signature in that error. Signatures compare by
// address: one constant per function type.
//   if (imp.sig != &objc::kSignature<bool()>) throw objc::MessageError("...");
#pragma once

#include <stdexcept>
#include <string>
#include <typeinfo>

namespace qv::objc {

// The identity of a method signature R(A...): one constant per function type.
struct Signature {
  const std::type_info* type;
};
template <class F>
inline constexpr Signature kSignature{&typeid(F)};

// A method implementation: a plain function, a context pointer it receives first, and the
// signature it was registered with.
using RawFn = void (*)();
struct Imp {
  RawFn fn = nullptr;
  void* ctx = nullptr;
  const Signature* sig = nullptr;
  explicit operator bool() const { return fn != nullptr; }
};

// Thrown for programmer errors at a send or a hook: an unknown selector or a signature mismatch.
class MessageError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// The signature as C++ spells it ("bool (std::string)"), or "(none)".
std::string describeSignature(const Signature* sig);

}  // namespace qv::objc

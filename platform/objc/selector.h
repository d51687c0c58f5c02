// Selectors: method names interned once per OS process, compared by a small dense id.
// Interning is thread-safe; a Sel is a trivially copyable value. Example:
//   static const objc::Sel kInvalidate = objc::Sel::intern("invalidate");
#pragma once

#include <cstdint>
#include <string_view>

namespace qv::objc {

class Sel {
 public:
  Sel() = default;
  // The one selector with this name; the same name always gives the same id.
  static Sel intern(std::string_view name);
  // How many selectors have been interned so far (ids are 1 .. count()).
  static std::uint32_t count();

  std::uint32_t id() const { return id_; }
  const char* name() const { return name_ ? name_ : "(null)"; }
  explicit operator bool() const { return id_ != 0; }
  friend bool operator==(Sel a, Sel b) { return a.id_ == b.id_; }

 private:
  static Sel internLocked(std::string_view name);
  Sel(std::uint32_t id, const char* name) : id_(id), name_(name) {}
  std::uint32_t id_ = 0;
  const char* name_ = nullptr;
};

// Interns at the first use of each call site, then costs one load: `QV_SEL("invalidate")`.
#define QV_SEL(literal)                                         \
  ([]() -> ::qv::objc::Sel {                                    \
    static const ::qv::objc::Sel s = ::qv::objc::Sel::intern(literal); \
    return s;                                                   \
  }())

}  // namespace qv::objc

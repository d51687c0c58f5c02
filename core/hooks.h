// How the library installs a hook: a replacement is a plain function that receives the
// library, the slot holding the previous implementation, and the receiver, selector and
// arguments of the message. `hookRow<msg::X, &replacement>("Class")` makes one row of a hook
// table; `passThroughRow<msg::X>("Class")` one whose replacement only calls through;
// `stepRow<&fn>("Class", "what")` a start-up step at its place in the table (a class created,
// a method added) that is not a hook.
//   void loadViewHook(Library& lib, const objc::Slot<void()>& previous, objc::Object* self, objc::Sel sel);
#pragma once

#include <memory>
#include <string_view>

#include "core/library.h"
#include "platform/host/messages.h"

namespace qv::core {

template <class F>
struct HookBinding final : HookBindingBase {
  explicit HookBinding(Library& l) : library(&l) {}
  Library* library;
  objc::Slot<F> previous;
};

template <class F>
struct HookTraits;
template <class R, class... A>
struct HookTraits<R(A...)> {
  using Replacement = R (*)(Library&, const objc::Slot<R(A...)>&, objc::Object*, objc::Sel, A...);
};

struct HookRow {
  std::string_view className;
  // Installs the row's replacement on `cls` (null: the class is missing, nothing happens).
  // For a step, runs the step with the class of that name (null when it does not exist yet).
  bool (*install)(Library& library, objc::Class* cls);
  const char* (*selector)();    // null (or naming "") for a step
  std::string_view stepName{};  // what a step does, for listings
  bool isHook() const { return selector != nullptr && *selector() != '\0'; }
  std::string_view name() const { return isHook() ? std::string_view(selector()) : stepName; }
};

namespace detail {
template <class F>
struct MessageSignature;
template <class F>
struct MessageSignature<host::Message<F>> {
  using type = F;
};

template <const auto& M, auto Replacement, class F>
struct Hook;
template <const auto& M, auto Replacement, class R, class... A>
struct Hook<M, Replacement, R(A...)> {
  static R trampoline(void* ctx, objc::Object* self, objc::Sel sel, A... args) {
    auto* b = static_cast<HookBinding<R(A...)>*>(ctx);
    return Replacement(*b->library, b->previous, self, sel, std::forward<A>(args)...);
  }
  static bool install(Library& library, objc::Class* cls) {
    if (!cls) return false;
    auto binding = std::make_unique<HookBinding<R(A...)>>(library);
    auto* b = binding.get();
    if (!library.host.runtime().hookMessage<R(A...)>(cls, M.sel, &trampoline, b, &b->previous)) return false;
    library.hookBindings.push_back(std::move(binding));
    library.installedHooks.push_back(InstalledHook{cls->name(), M.sel.name()});
    return true;
  }
  static const char* selector() { return M.sel.name(); }
};

template <class F>
struct PassThrough;
template <class R, class... A>
struct PassThrough<R(A...)> {
  static R call(Library&, const objc::Slot<R(A...)>& previous, objc::Object* self, objc::Sel sel, A... args) {
    return previous(self, sel, std::forward<A>(args)...);
  }
};
}  // namespace detail

template <const auto& M>
using MessageSignatureOf = typename detail::MessageSignature<std::remove_cvref_t<decltype(M)>>::type;

template <const auto& M, auto Replacement>
constexpr HookRow hookRow(std::string_view className) {
  using H = detail::Hook<M, Replacement, MessageSignatureOf<M>>;
  return HookRow{className, &H::install, &H::selector};
}

template <const auto& M>
constexpr HookRow passThroughRow(std::string_view className) {
  using F = MessageSignatureOf<M>;
  return hookRow<M, &detail::PassThrough<F>::call>(className);
}

// A start-up step in table order; `what` (a selector or a description) names it in listings.
template <bool (*Step)(Library&, objc::Class*)>
constexpr HookRow stepRow(std::string_view className, std::string_view what) {
  return HookRow{className, Step, nullptr, what};
}

// A row that creates one of the library's own classes at its place in the table; it hooks nothing.
template <bool (*Create)(Library&)>
constexpr HookRow classCreationRow(std::string_view className) {
  return HookRow{className, [](Library& library, objc::Class*) { return Create(library); }, nullptr, className};
}

// Installs one row on the class of that name in the library's process.
inline bool installHookRow(Library& library, const HookRow& row) {
  return row.install(library, library.host.runtime().getClass(row.className));
}

}  // namespace qv::core

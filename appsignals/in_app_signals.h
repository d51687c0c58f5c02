// The clear signals the apps send when the user opens them: each hooked life-cycle method
// posts its app's clear notifications (names from the categories table) either before the
// app's own implementation runs or once it has returned, after an optional check of the
// process's bundle identifier; the call-through always happens. Also the unread-count hook of
// the messaging framework, which clears the SMS reminder itself. Main thread of each app.
//   clearSignalRow<msg::applicationDidBecomeActive, kPhoneOpened>("PhoneApplication")
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "core/categories.h"
#include "core/hooks.h"

namespace qv::appsignals {

using core::Category;

enum class PostsRun { First, After };  // before the app's own implementation, or after it

struct ClearSignal {
  std::string_view processCheck;  // main bundle identifier required for the posts; "" for none
  std::array<Category, 2> posts;  // in posting order, the first `postCount`
  std::size_t postCount;
  PostsRun when;
};

inline constexpr ClearSignal kPhoneOpened{"", {Category::Call}, 1, PostsRun::First};
inline constexpr ClearSignal kMailReturned{"com.apple.mobilemail", {Category::Mail}, 1, PostsRun::After};
inline constexpr ClearSignal kTelegramOpened{"", {Category::TelegramMessage}, 1, PostsRun::After};
inline constexpr ClearSignal kMessengerOpened{
    "", {Category::MessengerCall, Category::MessengerMessage}, 2, PostsRun::After};
inline constexpr ClearSignal kWhatsAppDelegateOpened{
    "", {Category::WhatsAppCall, Category::WhatsAppMessage}, 2, PostsRun::First};
inline constexpr ClearSignal kWhatsAppScreenReturned{
    "", {Category::WhatsAppCall, Category::WhatsAppMessage}, 2, PostsRun::After};
inline constexpr ClearSignal kThreemaOpened{"", {Category::ThreemaMessage}, 1, PostsRun::After};
inline constexpr ClearSignal kThreemaLaunched{"", {Category::ThreemaMessage}, 1, PostsRun::First};
inline constexpr ClearSignal kViberActive{
    "com.viber", {Category::ViberMessage, Category::ViberCall}, 2, PostsRun::After};
inline constexpr ClearSignal kViberOpened{
    "com.viber", {Category::ViberMessage, Category::ViberCall}, 2, PostsRun::First};

// Runs the process check and, when it passes, posts the signal's clear notifications in order.
void postClearSignal(core::Library& library, const ClearSignal& signal);

namespace detail {
template <const ClearSignal& S, class F>
struct ClearSignalHook;
template <const ClearSignal& S, class R, class... A>
struct ClearSignalHook<S, R(A...)> {
  static R call(core::Library& library, const objc::Slot<R(A...)>& previous, objc::Object* self, objc::Sel sel,
                A... args) {
    if constexpr (S.when == PostsRun::First) {
      postClearSignal(library, S);
      return previous(self, sel, std::forward<A>(args)...);
    } else if constexpr (std::is_void_v<R>) {
      previous(self, sel, std::forward<A>(args)...);
      postClearSignal(library, S);
    } else {
      R result = previous(self, sel, std::forward<A>(args)...);
      postClearSignal(library, S);
      return result;
    }
  }
};
}  // namespace detail

// A hook-table row whose replacement sends `S` around the app's own implementation of `M`.
template <const auto& M, const ClearSignal& S>
constexpr core::HookRow clearSignalRow(std::string_view className) {
  return core::hookRow<M, &detail::ClearSignalHook<S, core::MessageSignatureOf<M>>::call>(className);
}

// The replacement of IMChatRegistry unreadCountChanged:: a count below the badge recorded when
// the SMS reminder started clears that reminder (and the record), then the call-through.
void unreadCountChangedHook(core::Library& library, const objc::Slot<void(std::int64_t)>& previous, objc::Object* self,
                            objc::Sel sel, std::int64_t count);

}  // namespace qv::appsignals

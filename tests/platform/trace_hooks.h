// Test helpers for the host layer: a world without the library, two sample notifications, and hooks that note each
// message a host class receives (with its arguments where asked), in order, then call through, so a test can check the
// order of hookable calls with one trace string.
//   TraceHooks hooks(world.springBoard().host.runtime());
//   hooks.on<msg::setVisible>("LSStatusBarItem", [](bool v) { return v ? "show" : "hide"; });
//   hooks.onWithArguments<msg::publishBulletin>("BBServer", "publish");
//   EXPECT_EQ(hooks.trace(), "show hide publish(8,NO)");
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/host/messages.h"
#include "sim/world.h"

namespace qv::testing {

// A world whose processes run without the library: the host layer on its own.
inline sim::WorldConfig withoutLibrary() {
  sim::WorldConfig config;
  config.loadLibrary = false;
  return config;
}

// Two plain notifications from two apps, for tests of how the system shows them.
inline const springboard::IncomingNotification kAnna{
    .bundleId = "net.whatsapp.WhatsApp", .title = "Anna", .message = "hi"};
inline const springboard::IncomingNotification kBen{
    .bundleId = "ph.telegra.Telegraph", .title = "Ben", .message = "yo"};

class TraceHooks {
 public:
  explicit TraceHooks(objc::Runtime& rt) : rt_(rt) {}
  TraceHooks(const TraceHooks&) = delete;
  TraceHooks& operator=(const TraceHooks&) = delete;

  // Notes `label` each time `className` receives M (the class must answer M).
  template <const auto& M>
  void on(std::string_view className, std::string label) {
    install<M>(className, [label](auto&&...) { return label; });
  }
  // Notes `label` with M's text, flag and number arguments, "publish(8,NO)", each time
  // `className` receives M.
  template <const auto& M>
  void onWithArguments(std::string_view className, std::string label) {
    install<M>(className, [label](const auto&... args) {
      std::string described;
      (describeArgument(described, args), ...);
      return described.empty() ? label : label + "(" + described + ")";
    });
  }
  // Notes what `describe` makes of the arguments each time `className` receives M.
  template <const auto& M, class Describe>
  requires(!std::is_convertible_v<Describe, std::string>) void on(std::string_view className, Describe describe) {
    install<M>(className, std::move(describe));
  }

  // The labels so far, separated by blanks.
  const std::string& trace() const { return trace_; }
  void clear() { trace_.clear(); }
  void note(const std::string& label) { trace_ += (trace_.empty() ? "" : " ") + label; }

 private:
  template <class T>
  static void describeArgument(std::string& out, const T& arg) {
    std::string text;
    if constexpr (std::is_same_v<T, std::string>)
      text = arg;
    else if constexpr (std::is_same_v<T, bool>)
      text = arg ? "YES" : "NO";
    else if constexpr (std::is_integral_v<T>)
      text = std::to_string(arg);
    else
      return;
    out += (out.empty() ? "" : ",") + text;
  }

  struct EntryBase {
    virtual ~EntryBase() = default;
  };
  template <class F>
  struct Tracer;
  template <class R, class... A>
  struct Tracer<R(A...)> {
    struct Entry : EntryBase {
      TraceHooks* owner;
      std::function<std::string(const A&...)> describe;
      objc::Slot<R(A...)> previous;
    };
    static R call(void* ctx, objc::Object* self, objc::Sel sel, A... args) {
      auto* e = static_cast<Entry*>(ctx);
      e->owner->note(e->describe(args...));
      return e->previous(self, sel, std::forward<A>(args)...);
    }
  };
  template <class M>
  struct SignatureOf;
  template <class F>
  struct SignatureOf<host::Message<F>> {
    using type = F;
  };

  template <const auto& M, class Describe>
  void install(std::string_view className, Describe describe) {
    using F = typename SignatureOf<std::remove_cvref_t<decltype(M)>>::type;
    using T = Tracer<F>;
    auto entry = std::make_unique<typename T::Entry>();
    entry->owner = this;
    entry->describe = std::move(describe);
    objc::Class* cls = rt_.getClass(className);
    if (!cls || !rt_.hookMessage<F>(cls, M.sel, &T::call, entry.get(), &entry->previous))
      throw std::logic_error("cannot trace " + std::string(className) + " " + M.name());
    entries_.push_back(std::move(entry));
  }

  objc::Runtime& rt_;
  std::string trace_;
  std::vector<std::unique_ptr<EntryBase>> entries_;
};

}  // namespace qv::testing

// A test helper that records hookable calls in the order they happen: `watch` hooks a class's
// method the way the system hooks it (record, then call through) and each call appends its
// label, with its string, flag and number arguments, to the trace.
//   CallTrace trace(runtime);
//   trace.watch("BBServer", host::msg::publishBulletin, "publish");
//   EXPECT_EQ(trace.str(), "publish(8,NO)");
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/host/messages.h"
#include "platform/objc/runtime.h"

namespace qv::test_support {

class CallTrace {
 public:
  explicit CallTrace(objc::Runtime& runtime) : runtime_(runtime) {}
  CallTrace(const CallTrace&) = delete;
  CallTrace& operator=(const CallTrace&) = delete;

  // Hooks `m` on the class named `cls`; the test fails when the class or method is missing.
  template <class F>
  void watch(std::string_view cls, const host::Message<F>& m, std::string label) {
    auto entry = std::make_unique<Entry<F>>();
    entry->trace = this;
    entry->label = std::move(label);
    const bool hooked =
        runtime_.hookMessage<F>(runtime_.getClass(cls), m.sel, &Entry<F>::imp, entry.get(), &entry->previous);
    failUnlessHooked(hooked, cls, m.name());
    entries_.push_back(std::move(entry));
  }

  // The calls so far, separated by spaces.
  std::string str() const {
    std::string out;
    for (const std::string& call : calls_) out += (out.empty() ? "" : " ") + call;
    return out;
  }
  void clear() { calls_.clear(); }

 private:
  static void failUnlessHooked(bool ok, std::string_view cls, const char* sel) {
    if (!ok) ADD_FAILURE() << "cannot watch -[" << cls << " " << sel << "]";
  }

  struct EntryBase {
    virtual ~EntryBase() = default;
  };
  template <class F>
  struct Entry;
  template <class R, class... A>
  struct Entry<R(A...)> final : EntryBase {
    objc::Slot<R(A...)> previous;
    CallTrace* trace = nullptr;
    std::string label;
    static R imp(void* ctx, objc::Object* self, objc::Sel sel, A... args) {
      auto* e = static_cast<Entry*>(ctx);
      std::string described;
      (describe(described, args), ...);
      e->trace->calls_.push_back(described.empty() ? e->label : e->label + "(" + described + ")");
      return e->previous(self, sel, std::forward<A>(args)...);
    }
  };

  template <class T>
  static void describe(std::string& out, const T& arg) {
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

  objc::Runtime& runtime_;
  std::vector<std::unique_ptr<EntryBase>> entries_;
  std::vector<std::string> calls_;
};

}  // namespace qv::test_support

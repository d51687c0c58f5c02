// The world the class-runtime tests share, on either runtime of runtime_bindings.h: a process
// whose class Base answers greet: and whose Derived inherits it, with one trace string that each
// greet (G), shout (S) and hook (its own mark) appends to.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/platform/runtime_bindings.h"

namespace qv::testing_runtimes {

template <class O>
std::string greet(void* ctx, O*, objc::Sel, std::string who) {
  *static_cast<std::string*>(ctx) += 'G';
  return "hello " + who;
}
template <class O>
std::string shout(void* ctx, O*, objc::Sel, std::string who) {
  *static_cast<std::string*>(ctx) += 'S';
  return "HELLO " + who;
}

template <class T>
struct HookState {
  typename T::template Slot<std::string(std::string)> previous;
  std::string* trace;
  char mark;
};
template <class T>
std::string tracingHook(void* ctx, typename T::Object* self, objc::Sel sel, std::string who) {
  auto* h = static_cast<HookState<T>*>(ctx);
  *h->trace += h->mark;
  return h->previous(self, sel, who) + "!";
}

template <class T>
class ClassRuntime : public ::testing::Test {
 protected:
  using Class = typename T::Class;
  using Object = typename T::Object;
  using Greet = std::string(std::string);

  ClassRuntime() : rt("TestProcess") {
    base = rt.defineClass("Base", rt.rootClass());
    derived = rt.defineClass("Derived", base);
    rt.template addMethod<Greet>(base, QV_SEL("greet:"), &greet<Object>, &trace);
  }
  std::string greetFrom(Object* o, const char* who = "a") { return T::template send<Greet>(o, QV_SEL("greet:"), who); }
  bool hook(Class* cls, HookState<T>& h) {
    return rt.template hookMessage<Greet>(cls, QV_SEL("greet:"), &tracingHook<T>, &h, &h.previous);
  }

  typename T::Runtime rt;
  Class* base;
  Class* derived;
  std::string trace;
};

}  // namespace qv::testing_runtimes

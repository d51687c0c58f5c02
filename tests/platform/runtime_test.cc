#include "platform/objc/runtime.h"

#include <gtest/gtest.h>

#include <string>

namespace qv::objc {
namespace {

// A host object with a little state, to show sends reach the C++ object behind an instance.
struct Greeter : Object {
  using Object::Object;
  std::string trace;
};
Id makeGreeter(Class* cls) { return std::make_shared<Greeter>(cls); }

std::string greet(void*, Object* self, Sel, std::string who) {
  as<Greeter>(self)->trace += "G";
  return "hello " + who;
}

class ClassRuntime : public ::testing::Test {
 protected:
  ClassRuntime() : rt("TestProcess") {
    base = rt.defineClass("Base", rt.rootClass(), &makeGreeter);
    derived = rt.defineClass("Derived", base);
    rt.addMethod<std::string(std::string)>(base, QV_SEL("greet:"), &greet);
  }
  Runtime rt;
  Class* base;
  Class* derived;
};

struct HookState {
  Slot<std::string(std::string)> previous;
  std::string* trace;
  char mark;
};
std::string tracingHook(void* ctx, Object* self, Sel sel, std::string who) {
  auto* h = static_cast<HookState*>(ctx);
  *h->trace += h->mark;
  return h->previous(self, sel, who) + "!";
}

TEST_F(ClassRuntime, MissingClassIsAbsentAndHookingItDoesNothing) {
  EXPECT_EQ(rt.getClass("SBLockScreenManager"), nullptr);
  HookState h{{}, nullptr, 'x'};
  EXPECT_FALSE(rt.hookMessage<std::string(std::string)>(rt.getClass("SBLockScreenManager"), QV_SEL("greet:"),
                                                         &tracingHook, &h, &h.previous));
  EXPECT_FALSE(h.previous);
}

TEST_F(ClassRuntime, SendReachesInheritedMethodAndNullReceiverGivesZero) {
  Id obj = send<Id()>(derived, QV_SEL("new"));
  ASSERT_NE(as<Greeter>(obj), nullptr);
  EXPECT_EQ(obj->isa(), derived);
  EXPECT_EQ(send<std::string(std::string)>(obj, QV_SEL("greet:"), "you"), "hello you");
  EXPECT_EQ(send<std::string(std::string)>(static_cast<Object*>(nullptr), QV_SEL("greet:"), "you"), "");
  EXPECT_TRUE(respondsTo(obj.get(), QV_SEL("greet:")));
  EXPECT_FALSE(respondsTo(obj.get(), QV_SEL("wave")));
}

TEST_F(ClassRuntime, WrongSignatureOrUnknownSelectorIsAClearError) {
  Id obj = send<Id()>(base, QV_SEL("new"));
  try {
    send<int(std::string)>(obj, QV_SEL("greet:"), "x");
    FAIL() << "a mismatched send must not run";
  } catch (const MessageError& e) {
    EXPECT_NE(std::string(e.what()).find("-[Base greet:]"), std::string::npos) << e.what();
  }
  EXPECT_THROW(send<void()>(obj, QV_SEL("wave")), MessageError);
}

TEST_F(ClassRuntime, ChainedHooksCallThroughInOrderWithSameArguments) {
  std::string trace;
  HookState first{{}, &trace, '1'}, second{{}, &trace, '2'};
  ASSERT_TRUE(rt.hookMessage<std::string(std::string)>(base, QV_SEL("greet:"), &tracingHook, &first, &first.previous));
  ASSERT_TRUE(rt.hookMessage<std::string(std::string)>(base, QV_SEL("greet:"), &tracingHook, &second, &second.previous));
  Id obj = send<Id()>(base, QV_SEL("new"));
  EXPECT_EQ(send<std::string(std::string)>(obj, QV_SEL("greet:"), "bob"), "hello bob!!");
  EXPECT_EQ(trace + as<Greeter>(obj)->trace, "21G");
}

TEST_F(ClassRuntime, HookOnInheritedSelectorOverridesOnlyThatClassAndSeesLaterSuperChanges) {
  std::string trace;
  HookState h{{}, &trace, 'D'};
  ASSERT_TRUE(rt.hookMessage<std::string(std::string)>(derived, QV_SEL("greet:"), &tracingHook, &h, &h.previous));
  Class* grandchild = rt.defineClass("Grandchild", derived);
  Id b = send<Id()>(base, QV_SEL("new"));
  Id d = send<Id()>(derived, QV_SEL("new"));
  Id g = send<Id()>(grandchild, QV_SEL("new"));
  EXPECT_EQ(send<std::string(std::string)>(b, QV_SEL("greet:"), "a"), "hello a");
  EXPECT_EQ(send<std::string(std::string)>(d, QV_SEL("greet:"), "a"), "hello a!");
  EXPECT_EQ(send<std::string(std::string)>(g, QV_SEL("greet:"), "a"), "hello a!");
  EXPECT_EQ(trace, "DD");
  // The superclass is hooked afterwards: calling through from the subclass reaches the new code.
  HookState loud{{}, &trace, 'B'};
  rt.hookMessage<std::string(std::string)>(base, QV_SEL("greet:"), &tracingHook, &loud, &loud.previous);
  EXPECT_EQ(send<std::string(std::string)>(d, QV_SEL("greet:"), "a"), "hello a!!");
  EXPECT_EQ(trace, "DDDB");
}

}  // namespace
}  // namespace qv::objc

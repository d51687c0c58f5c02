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
std::string loudGreet(void*, Object*, Sel, std::string who) { return "HELLO " + who; }

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

TEST_F(ClassRuntime, ClassesCreatedAtRunTimeAreVisibleOnlyOnceRegistered) {
  Class* view = rt.allocateClassPair(base, "QuorvelView");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(rt.getClass("QuorvelView"), nullptr);
  EXPECT_EQ(rt.allocateClassPair(base, "QuorvelView"), nullptr);
  rt.registerClassPair(view);
  EXPECT_EQ(rt.getClass("QuorvelView"), view);
  EXPECT_EQ(rt.allocateClassPair(base, "QuorvelView"), nullptr);
  EXPECT_TRUE(view->isSubclassOf(base));
}

TEST_F(ClassRuntime, AddMethodKeepsTypeStringAndRefusesAMethodTheClassHas) {
  const char* types = "{CGRect={CGPoint=dd}{CGSize=dd}}@:{CGRect={CGPoint=dd}{CGSize=dd}}";
  EXPECT_TRUE(rt.addMethod<std::string(std::string)>(derived, QV_SEL("shout:"), &loudGreet, nullptr, types));
  EXPECT_FALSE(rt.addMethod<std::string(std::string)>(derived, QV_SEL("shout:"), &loudGreet));
  EXPECT_EQ(rt.methodTypes(derived, QV_SEL("shout:")), types);
  Id d = send<Id()>(derived, QV_SEL("new"));
  EXPECT_EQ(send<std::string(std::string)>(d, QV_SEL("shout:"), "x"), "HELLO x");
  EXPECT_FALSE(respondsTo(send<Id()>(base, QV_SEL("new")).get(), QV_SEL("shout:")));
}

TEST_F(ClassRuntime, ClassMethodsAnswerOnTheClassObject) {
  rt.addClassMethod<int()>(base, QV_SEL("answer"), [](void*, Object*, Sel) { return 42; });
  EXPECT_EQ(send<int()>(derived, QV_SEL("answer")), 42);
  EXPECT_TRUE(send<bool(Sel)>(derived, QV_SEL("respondsToSelector:"), QV_SEL("answer")));
}

}  // namespace
}  // namespace qv::objc

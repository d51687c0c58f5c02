// What only the binding onto the real Objective-C runtime has to show: the real dispatch holds
// its methods and runs its hooks, simulated processes keep their classes apart in the one real
// runtime, libobjc's own methods are refused rather than called blind, and instances carry
// their C++ object. The behaviour both runtimes share is in runtime_test.cc.
#include <gtest/gtest.h>
#include <objc/message.h>
#include <objc/runtime.h>

#include <string>

#include "platform/objc_gnu/runtime.h"
#include "tests/platform/class_runtime_fixture.h"

namespace qv::objc_gnu {
namespace {

// The shared class-runtime world, on the real runtime.
class GnuBinding : public testing_runtimes::ClassRuntime<testing_runtimes::RealObjC> {};

TEST_F(GnuBinding, TheRealDispatchReachesOurMethodsAndHooks) {
  testing_runtimes::HookState<testing_runtimes::RealObjC> h{{}, &trace, 'H'};
  ASSERT_TRUE(hook(derived, h));
  Owned d(send<Id()>(derived, QV_SEL("new")));
  // What compiled Objective-C does for [d greet:@"x"]: look the IMP up, call it.
  SEL greetSel = sel_registerName("greet:");
  using Native = std::string (*)(id, SEL, std::string);
  auto imp = reinterpret_cast<Native>(reinterpret_cast<void (*)()>(objc_msg_lookup(d.get(), greetSel)));
  EXPECT_EQ(imp(d.get(), greetSel, "x"), "hello x!");
  EXPECT_EQ(trace, "HG");
  EXPECT_TRUE(class_respondsToSelector(derived, greetSel));
  EXPECT_EQ(objc_getClass(class_getName(derived)), derived);
  EXPECT_EQ(class_getSuperclass(derived), base);
}

TEST_F(GnuBinding, EachProcessHasItsOwnClassesOfTheSameName) {
  Runtime other("OtherProcess");
  Class* otherBase = other.defineClass("Base", other.rootClass());
  ASSERT_NE(otherBase, nullptr);
  EXPECT_NE(otherBase, base);
  EXPECT_EQ(other.getClass("Base"), otherBase);
  EXPECT_EQ(rt.getClass("Base"), base);
  EXPECT_EQ(other.getClass("Derived"), nullptr);
  EXPECT_EQ(className(otherBase), "Base");
  // A name private to one process is not a way into it from another.
  EXPECT_EQ(other.getClass(class_getName(base)), nullptr);
}

TEST_F(GnuBinding, LibobjcsOwnMethodsAreFoundButRefusedForTypedSendsAndHooks) {
  Class* object = rt.getClass("Object");
  ASSERT_NE(object, nullptr);
  id instance = class_createInstance(object, 0);
  EXPECT_TRUE(respondsTo(instance, QV_SEL("isEqual:")));
  try {
    send<bool(Id)>(instance, QV_SEL("isEqual:"), instance);
    FAIL() << "a method of unknown C++ signature must not be called";
  } catch (const MessageError& e) {
    EXPECT_NE(std::string(e.what()).find("-[Object isEqual:]: implemented outside this binding"), std::string::npos)
        << e.what();
  }
  auto replacement = [](void*, Object*, objc::Sel, Id) { return true; };
  Slot<bool(Id)> previous;
  EXPECT_THROW(rt.hookMessage<bool(Id)>(object, QV_SEL("isEqual:"), replacement, nullptr, &previous), MessageError);
  EXPECT_FALSE(previous);
  object_dispose(instance);
}

struct Payload {
  explicit Payload(int* destroyed) : destroyed(destroyed) {}
  ~Payload() { ++*destroyed; }
  int* destroyed;
  std::string name = "payload";
};
int destroyedPayloads = 0;
Object* makePayload(Class* cls) { return makeInstance<Payload>(cls, &destroyedPayloads); }

TEST_F(GnuBinding, InstancesCarryTheirCppObjectUntilDisposed) {
  Class* holder = rt.defineClass("Holder", rt.rootClass(), &makePayload);
  Class* child = rt.defineClass("HolderChild", holder);
  destroyedPayloads = 0;
  {
    Owned h(send<Id()>(child, QV_SEL("new")));  // the factory is inherited
    ASSERT_NE(as<Payload>(h.get()), nullptr);
    EXPECT_EQ(as<Payload>(h.get())->name, "payload");
    EXPECT_EQ(as<std::string>(h.get()), nullptr);
    EXPECT_EQ(as<Payload>(asObject(holder)), nullptr);  // a class object carries none
    Owned plain(send<Id()>(base, QV_SEL("new")));
    EXPECT_EQ(as<Payload>(plain.get()), nullptr);
  }
  EXPECT_EQ(destroyedPayloads, 1);
}

}  // namespace
}  // namespace qv::objc_gnu

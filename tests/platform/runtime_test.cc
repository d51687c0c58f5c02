// The class runtime's behaviour, one suite run on both runtimes: ours and the real
// Objective-C runtime through its binding. A difference between them shows as a constant of
// runtime_bindings.h that a test reads.
#include <gtest/gtest.h>

#include <string>

#include "tests/platform/class_runtime_fixture.h"

namespace qv {
namespace {

using objc::MessageError;
using objc::Sel;

using testing_runtimes::ClassRuntime;
using testing_runtimes::greet;
using testing_runtimes::HookState;
using testing_runtimes::shout;
using testing_runtimes::tracingHook;

struct RuntimeNames {
  template <class T>
  static std::string GetName(int) {
    return T::kName;
  }
};
using Runtimes = ::testing::Types<testing_runtimes::Simulated, testing_runtimes::RealObjC>;
TYPED_TEST_SUITE(ClassRuntime, Runtimes, RuntimeNames);

TYPED_TEST(ClassRuntime, SendReachesInheritedMethodAndNullReceiverGivesZero) {
  auto obj = TypeParam::make(this->derived);
  EXPECT_EQ(this->greetFrom(TypeParam::get(obj), "you"), "hello you");
  EXPECT_EQ(this->greetFrom(nullptr, "you"), "");
  EXPECT_TRUE(TypeParam::respondsTo(TypeParam::get(obj), QV_SEL("greet:")));
  EXPECT_FALSE(TypeParam::respondsTo(TypeParam::get(obj), QV_SEL("wave")));
  EXPECT_TRUE(TypeParam::template send<bool(Sel)>(TypeParam::get(obj), QV_SEL("respondsToSelector:"), QV_SEL("greet:")));
}

TYPED_TEST(ClassRuntime, WrongSignatureOrUnknownSelectorIsAClearError) {
  auto obj = TypeParam::make(this->base);
  try {
    TypeParam::template send<int(std::string)>(TypeParam::get(obj), QV_SEL("greet:"), "x");
    FAIL() << "a mismatched send must not run";
  } catch (const MessageError& e) {
    EXPECT_NE(std::string(e.what()).find("-[Base greet:]"), std::string::npos) << e.what();
  }
  try {
    TypeParam::template send<void()>(TypeParam::get(obj), QV_SEL("wave"));
    FAIL() << "an unknown selector must not run";
  } catch (const MessageError& e) {
    EXPECT_EQ(std::string(e.what()), "-[Base wave]: unrecognized selector");
  }
  EXPECT_EQ(this->trace, "");
}

TYPED_TEST(ClassRuntime, ChainedHooksCallThroughInOrderWithSameArguments) {
  HookState<TypeParam> first{{}, &this->trace, '1'}, second{{}, &this->trace, '2'};
  ASSERT_TRUE(this->hook(this->base, first));
  ASSERT_TRUE(this->hook(this->base, second));
  auto obj = TypeParam::make(this->base);
  EXPECT_EQ(this->greetFrom(TypeParam::get(obj), "bob"), "hello bob!!");
  EXPECT_EQ(this->trace, "21G");
}

TYPED_TEST(ClassRuntime, HookOnInheritedSelectorOverridesOnlyThatClassAndSeesLaterSuperChanges) {
  HookState<TypeParam> h{{}, &this->trace, 'D'};
  ASSERT_TRUE(this->hook(this->derived, h));
  auto* grandchild = this->rt.defineClass("Grandchild", this->derived);
  auto b = TypeParam::make(this->base);
  auto d = TypeParam::make(this->derived);
  auto g = TypeParam::make(grandchild);
  EXPECT_EQ(this->greetFrom(TypeParam::get(b)), "hello a");
  EXPECT_EQ(this->greetFrom(TypeParam::get(d)), "hello a!");
  EXPECT_EQ(this->greetFrom(TypeParam::get(g)), "hello a!");
  EXPECT_EQ(this->trace, "GDGDG");
  // The superclass is hooked afterwards: calling through from the subclass reaches the new code.
  this->trace.clear();
  HookState<TypeParam> loud{{}, &this->trace, 'B'};
  ASSERT_TRUE(this->hook(this->base, loud));
  EXPECT_EQ(this->greetFrom(TypeParam::get(d)), "hello a!!");
  EXPECT_EQ(this->trace, "DBG");
}

TYPED_TEST(ClassRuntime, HookOnAMissingClassOrWithAnotherSignatureIsRefusedAndLeavesTheMethodAlone) {
  EXPECT_EQ(this->rt.getClass("SBLockScreenManager"), nullptr);
  HookState<TypeParam> h{{}, &this->trace, 'x'};
  EXPECT_FALSE(this->hook(this->rt.getClass("SBLockScreenManager"), h));
  EXPECT_FALSE(h.previous);
  using Object = typename TypeParam::Object;
  auto wrong = [](void*, Object*, Sel, std::string) { return 0; };
  for (auto* cls : {this->base, this->derived}) {
    typename TypeParam::template Slot<int(std::string)> previous;
    EXPECT_THROW(this->rt.template hookMessage<int(std::string)>(cls, QV_SEL("greet:"), wrong, nullptr, &previous),
                 MessageError);
    EXPECT_FALSE(previous);
  }
  auto d = TypeParam::make(this->derived);
  EXPECT_EQ(this->greetFrom(TypeParam::get(d)), "hello a");
}

TYPED_TEST(ClassRuntime, AddingAMethodTheClassHasFailsButOverridingAnInheritedOneWorks) {
  using Object = typename TypeParam::Object;
  EXPECT_FALSE(this->rt.template addMethod<std::string(std::string)>(this->base, QV_SEL("greet:"), &shout<Object>, &this->trace));
  EXPECT_TRUE(this->rt.template addMethod<std::string(std::string)>(this->derived, QV_SEL("greet:"), &shout<Object>, &this->trace));
  auto b = TypeParam::make(this->base);
  auto d = TypeParam::make(this->derived);
  EXPECT_EQ(this->greetFrom(TypeParam::get(b)), "hello a");
  EXPECT_EQ(this->greetFrom(TypeParam::get(d)), "HELLO a");
  EXPECT_EQ(this->trace, "GS");
}

TYPED_TEST(ClassRuntime, AMethodAddedToASuperclassLaterReachesInstancesOfSubclasses) {
  auto d = TypeParam::make(this->derived);
  EXPECT_EQ(this->greetFrom(TypeParam::get(d)), "hello a");  // the dispatch has seen the class
  using Object = typename TypeParam::Object;
  ASSERT_TRUE(this->rt.template addMethod<std::string(std::string)>(this->base, QV_SEL("greetLater:"), &shout<Object>,
                                                                    &this->trace));
  EXPECT_EQ((TypeParam::template send<std::string(std::string)>(TypeParam::get(d), QV_SEL("greetLater:"), "b")), "HELLO b");
}

TYPED_TEST(ClassRuntime, EveryMethodHasATypeStringAndAHookOnAnInheritedSelectorKeepsIt) {
  using Object = typename TypeParam::Object;
  auto& rt = this->rt;
  EXPECT_EQ(rt.methodTypes(this->base, QV_SEL("greet:")), "@@:@");  // from the signature
  EXPECT_EQ(rt.methodTypes(this->derived, QV_SEL("greet:")), "@@:@");
  EXPECT_EQ(rt.methodTypes(this->base, QV_SEL("wave")), "");
  auto count = [](void*, Object*, Sel, double, bool) -> std::int64_t { return 1; };
  ASSERT_TRUE(rt.template addMethod<std::int64_t(double, bool)>(this->base, QV_SEL("count:flag:"), count));
  EXPECT_EQ(rt.methodTypes(this->base, QV_SEL("count:flag:")), "q@:dB");
  auto frame = [](void*, Object*, Sel) {};
  ASSERT_TRUE(rt.template addMethod<void()>(this->base, QV_SEL("frame"), frame, nullptr, "{CGRect={CGPoint=dd}{CGSize=dd}}@:"));
  EXPECT_EQ(rt.methodTypes(this->derived, QV_SEL("frame")), "{CGRect={CGPoint=dd}{CGSize=dd}}@:");
  typename TypeParam::template Slot<void()> previous;
  ASSERT_TRUE(rt.template hookMessage<void()>(this->derived, QV_SEL("frame"), frame, nullptr, &previous));
  EXPECT_EQ(rt.methodTypes(this->derived, QV_SEL("frame")), "{CGRect={CGPoint=dd}{CGSize=dd}}@:");
}

TYPED_TEST(ClassRuntime, ClassPairsAreInvisibleUntilRegisteredAndNamesAreTakenOnce) {
  auto& rt = this->rt;
  EXPECT_EQ(rt.allocateClassPair(rt.rootClass(), "Base"), nullptr);  // a registered name
  EXPECT_EQ(rt.allocateClassPair(rt.rootClass(), ""), nullptr);
  auto* pending = rt.allocateClassPair(this->base, "Helper");
  ASSERT_NE(pending, nullptr);
  EXPECT_EQ(rt.getClass("Helper"), nullptr);
  // A class still in construction cannot be a superclass.
  EXPECT_EQ(rt.allocateClassPair(pending, "HelperChild"), nullptr);
  // A second pair of the same name may be built; only the first registered gets the name.
  auto* twin = rt.allocateClassPair(rt.rootClass(), "Helper");
  ASSERT_NE(twin, nullptr);
  rt.registerClassPair(pending);
  rt.registerClassPair(twin);
  EXPECT_EQ(rt.getClass("Helper"), pending);
  auto h = TypeParam::make(pending);
  EXPECT_EQ(this->greetFrom(TypeParam::get(h)), "hello a");
}

TYPED_TEST(ClassRuntime, MethodsAddedBeforeRegisteringAndLaterHooksReachSubclassesMadeAfterwards) {
  using Object = typename TypeParam::Object;
  auto& rt = this->rt;
  auto* helper = rt.allocateClassPair(this->base, "Helper");
  ASSERT_NE(helper, nullptr);
  ASSERT_TRUE(rt.template addMethod<std::string(std::string)>(helper, QV_SEL("shout:"), &shout<Object>, &this->trace));
  rt.registerClassPair(helper);
  auto* child = rt.defineClass("HelperChild", helper);
  auto c = TypeParam::make(child);
  EXPECT_EQ((TypeParam::template send<std::string(std::string)>(TypeParam::get(c), QV_SEL("shout:"), "c")), "HELLO c");
  // A hook on the root of the chain, made after the subclasses, is what their instances reach.
  HookState<TypeParam> h{{}, &this->trace, 'H'};
  ASSERT_TRUE(this->hook(this->base, h));
  EXPECT_EQ(this->greetFrom(TypeParam::get(c)), "hello a!");
  // So is a method under a selector first named after every table was built.
  ASSERT_TRUE(rt.template addMethod<std::string(std::string)>(helper, QV_SEL("shoutNamedLate:"), &shout<Object>, &this->trace));
  EXPECT_EQ((TypeParam::template send<std::string(std::string)>(TypeParam::get(c), QV_SEL("shoutNamedLate:"), "d")), "HELLO d");
  EXPECT_EQ(this->trace, "SHGS");
}

TYPED_TEST(ClassRuntime, ClassMethodsAreInheritedAndHookedLikeInstanceMethods) {
  using Object = typename TypeParam::Object;
  auto& rt = this->rt;
  ASSERT_TRUE(rt.template addClassMethod<std::string(std::string)>(this->base, QV_SEL("describe:"), &greet<Object>, &this->trace));
  Object* derivedClass = TypeParam::object(this->derived);
  auto describe = [&](Object* receiver) {
    return TypeParam::template send<std::string(std::string)>(receiver, QV_SEL("describe:"), "c");
  };
  EXPECT_EQ(describe(derivedClass), "hello c");
  HookState<TypeParam> h{{}, &this->trace, 'M'};
  ASSERT_TRUE(rt.template hookMessage<std::string(std::string)>(TypeParam::metaclass(this->derived), QV_SEL("describe:"),
                                                                &tracingHook<TypeParam>, &h, &h.previous));
  EXPECT_EQ(describe(TypeParam::object(this->base)), "hello c");
  EXPECT_EQ(describe(derivedClass), "hello c!");
  EXPECT_EQ(this->trace, "GGMG");
  // An instance does not answer a class method.
  auto d = TypeParam::make(this->derived);
  EXPECT_FALSE(TypeParam::respondsTo(TypeParam::get(d), QV_SEL("describe:")));
}

TYPED_TEST(ClassRuntime, ALookupReadsTheNameNotWhereItLives) {
  // Lookups may be cached by where the name lives; a buffer reused for another name of the same
  // length must still find that other class (or none), whichever byte differs.
  auto& rt = this->rt;
  for (std::size_t length : {3, 8, 12, 16, 17, 24, 31, 32, 40}) {
    std::string name(length, 'K');
    name[0] = 'Q';
    for (std::size_t at : {std::size_t{1}, length / 2, length - 1}) {
      std::string twin = name;
      twin[at] = 'k';
      std::string unknown = name;
      unknown[at] = 'u';
      auto* cls = rt.getClass(name) ? rt.getClass(name) : rt.defineClass(name, rt.rootClass());
      auto* twinCls = rt.getClass(twin) ? rt.getClass(twin) : rt.defineClass(twin, rt.rootClass());
      ASSERT_NE(cls, nullptr);
      ASSERT_NE(twinCls, nullptr);
      char buffer[48] = {};
      auto lookUp = [&](const std::string& text) {
        text.copy(buffer, text.size());
        return rt.getClass(std::string_view(buffer, text.size()));
      };
      EXPECT_EQ(lookUp(name), cls) << name;
      EXPECT_EQ(lookUp(twin), twinCls) << twin;
      EXPECT_EQ(lookUp(unknown), nullptr) << unknown;
      EXPECT_EQ(lookUp(name), cls) << name;
    }
  }
}

TYPED_TEST(ClassRuntime, ClassObjectsAnswerTheRootsInstanceMethods) {
  using Object = typename TypeParam::Object;
  auto& rt = this->rt;
  Object* baseClass = TypeParam::object(this->base);
  EXPECT_TRUE(TypeParam::respondsTo(baseClass, QV_SEL("respondsToSelector:")));
  EXPECT_TRUE(TypeParam::template send<bool(Sel)>(baseClass, QV_SEL("respondsToSelector:"), QV_SEL("new")));
  // A root instance method added after the root was made: instances answer it; class objects
  // do on our runtime and on the device, not on the GNU runtime (see kClassObjectsSee...).
  ASSERT_TRUE(rt.template addMethod<std::string(std::string)>(rt.rootClass(), QV_SEL("rootLater:"), &shout<Object>, &this->trace));
  auto b = TypeParam::make(this->base);
  EXPECT_TRUE(TypeParam::respondsTo(TypeParam::get(b), QV_SEL("rootLater:")));
  EXPECT_EQ(TypeParam::respondsTo(baseClass, QV_SEL("rootLater:")), TypeParam::kClassObjectsSeeRootMethodsAddedLater);
}

}  // namespace
}  // namespace qv

#include "core/missed_helper.h"

#include <cctype>

#include "core/helper_messages.h"
#include "core/library.h"

namespace qv::core {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;

MissedHelper& self(Object* o) { return *static_cast<MissedHelper*>(o); }

// Field accessors are registered with a description of their field as context, so one getter
// and one setter function serve every object field.
struct FieldAccess {
  std::size_t slot;   // index into timers / statusBarItems, or kOther
  int kind;           // 0 timer, 1 status item, 2 other timer, 3 other item
};

Id& field(MissedHelper& h, const FieldAccess& f) {
  switch (f.kind) {
    case 0: return h.timers[f.slot];
    case 1: return h.statusBarItems[f.slot];
    case 2: return h.otherTimer;
    default: return h.statusBarItemOther;
  }
}

Id getField(void* ctx, Object* o, Sel) { return field(self(o), *static_cast<const FieldAccess*>(ctx)); }
void setField(void* ctx, Object* o, Sel, Id value) { field(self(o), *static_cast<const FieldAccess*>(ctx)) = std::move(value); }

const std::array<FieldAccess, 2 * kCategoryCount + 2>& fieldAccess() {
  static const auto table = [] {
    std::array<FieldAccess, 2 * kCategoryCount + 2> t{};
    for (std::size_t i = 0; i < kCategoryCount; ++i) {
      t[i] = FieldAccess{i, 0};
      t[kCategoryCount + i] = FieldAccess{i, 1};
    }
    t[2 * kCategoryCount] = FieldAccess{0, 2};
    t[2 * kCategoryCount + 1] = FieldAccess{0, 3};
    return t;
  }();
  return table;
}

void addField(objc::Runtime& rt, objc::Class* cls, std::string_view name, const FieldAccess& access) {
  void* ctx = const_cast<FieldAccess*>(&access);
  rt.addMethod<Id()>(cls, Sel::intern(name), &getField, ctx);
  rt.addMethod<void(Id)>(cls, Sel::intern(setterName(name)), &setField, ctx);
}

}  // namespace

std::string setterName(std::string_view field) {
  std::string s = "set";
  s += field;
  s[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[3])));
  s += ':';
  return s;
}

objc::Class* defineMissedHelperClass(Library& library) {
  objc::Runtime& rt = library.host.runtime();
  objc::Class* cls = rt.allocateClassPair(rt.rootClass(), "MissedHelper");
  if (!cls) return nullptr;
  rt.registerClassPair(cls);
  rt.addClassMethod<Id()>(cls, host::msg::sharedInstance.sel, [](void* ctx, Object*, Sel) {
    return static_cast<Library*>(ctx)->sharedInstance();
  }, &library);

  const auto& access = fieldAccess();
  for (std::size_t i = 0; i < kCategoryCount; ++i) {
    addField(rt, cls, kCategories[i].timerField, access[i]);
    addField(rt, cls, kCategories[i].statusBarField, access[kCategoryCount + i]);
  }
  addField(rt, cls, "OtherTimer", access[2 * kCategoryCount]);
  addField(rt, cls, "statusBarItemOther", access[2 * kCategoryCount + 1]);
  rt.addMethod<std::string()>(cls, host::msg::sectionIdentifier.sel, [](void*, Object* o, Sel) {
    return self(o).sectionIdentifier;
  });
  rt.addMethod<void(std::string)>(cls, host::msg::setSectionIdentifier.sel, [](void*, Object* o, Sel, std::string s) {
    self(o).sectionIdentifier = std::move(s);
  });
  return cls;
}

}  // namespace qv::core

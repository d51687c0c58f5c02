#include "platform/statusbar/custom_item_view.h"

#include "platform/host/messages.h"
#include "platform/statusbar/images.h"

namespace qv::statusbar {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

struct CustomItemView final : Object {
  using Object::Object;
  // The view is owned by the library's record of the shown item, which also holds the item;
  // a weak back-reference keeps the two from owning each other.
  std::weak_ptr<Object> item;
};

Id makeView(objc::Class* cls) {
  return std::make_shared<CustomItemView>(cls);
}

}  // namespace

objc::Class* defineCustomItemView(objc::Runtime& rt, objc::Class* imageClass) {
  objc::Class* cls = rt.defineClass("UIStatusBarCustomItemView", rt.rootClass(), &makeView);
  if (!cls) return rt.getClass("UIStatusBarCustomItemView");
  rt.addMethod<Id()>(cls, msg::item.sel, [](void*, Object* self, Sel) -> Id {
    auto* v = objc::as<CustomItemView>(self);
    return v ? v->item.lock() : nullptr;
  });
  rt.addMethod<Id()>(
      cls, msg::contentsImage.sel,
      [](void* ctx, Object* self, Sel) -> Id {
        Id item = host::send(self, msg::item);
        const std::string name = host::send(item, msg::indicatorName);
        if (name.empty()) return nullptr;
        return makeImage(static_cast<objc::Class*>(ctx), "image " + name);
      },
      imageClass);
  rt.addMethod<double()>(cls, msg::standardPadding.sel, [](void*, Object*, Sel) { return kDefaultCustomViewPadding; });
  return cls;
}

Id makeCustomItemView(objc::Class* viewClass, const Id& item) {
  Id view = host::send(host::send(viewClass, msg::alloc), msg::init);
  if (auto* v = objc::as<CustomItemView>(view)) v->item = item;
  return view;
}

}  // namespace qv::statusbar

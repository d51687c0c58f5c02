#include "platform/statusbar/images.h"

#include "platform/host/messages.h"

namespace qv::statusbar {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

struct Image final : Object {
  using Object::Object;
  std::string shows;
};

struct LegibilityImageSet final : Object {
  using Object::Object;
  Id image;
  Id shadow;
};

template <class T>
Id make(objc::Class* cls) {
  return std::make_shared<T>(cls);
}

objc::Class* defineOnce(objc::Runtime& rt, const char* name, objc::Class::Factory factory) {
  if (objc::Class* existing = rt.getClass(name)) return existing;
  return rt.defineClass(name, rt.rootClass(), factory);
}

}  // namespace

objc::Class* defineImageClasses(objc::Runtime& rt) {
  objc::Class* image = defineOnce(rt, "UIImage", &make<Image>);
  rt.addClassMethod<Id(std::string)>(image, msg::imageNamed.sel, [](void*, Object* cls, Sel, std::string name) -> Id {
    if (name.empty()) return nullptr;
    Id out = static_cast<objc::Class*>(cls)->instantiate();
    if (auto* i = objc::as<Image>(out)) i->shows = "image " + name;
    return out;
  });
  rt.addMethod<std::string()>(image, msg::description.sel, [](void*, Object* self, Sel) -> std::string {
    auto* i = objc::as<Image>(self);
    return i ? i->shows : "an image";
  });

  objc::Class* set = defineOnce(rt, "_UILegibilityImageSet", &make<LegibilityImageSet>);
  rt.addClassMethod<Id(Id, Id)>(set, msg::imageFromImageWithShadow.sel,
                                [](void*, Object* cls, Sel, Id img, Id shadow) -> Id {
                                  Id out = static_cast<objc::Class*>(cls)->instantiate();
                                  if (auto* s = objc::as<LegibilityImageSet>(out)) {
                                    s->image = std::move(img);
                                    s->shadow = std::move(shadow);
                                  }
                                  return out;
                                });
  rt.addMethod<Id()>(set, msg::image.sel, [](void*, Object* self, Sel) -> Id {
    auto* s = objc::as<LegibilityImageSet>(self);
    return s ? s->image : nullptr;
  });
  rt.addMethod<Id()>(set, msg::shadowImage.sel, [](void*, Object* self, Sel) -> Id {
    auto* s = objc::as<LegibilityImageSet>(self);
    return s ? s->shadow : nullptr;
  });
  rt.addMethod<std::string()>(set, msg::description.sel, [](void*, Object* self, Sel) -> std::string {
    auto* s = objc::as<LegibilityImageSet>(self);
    if (!s) return "an image set";
    const std::string image = describeImage(s->image.get());
    const std::string shadow = describeImage(s->shadow.get());
    return image + (shadow == image ? " (shadow: the same)" : " (shadow: " + shadow + ")");
  });
  return image;
}

Id makeImage(objc::Class* imageClass, std::string what) {
  Id out = imageClass ? imageClass->instantiate() : nullptr;
  if (auto* i = objc::as<Image>(out)) i->shows = std::move(what);
  return out;
}

std::string describeImage(objc::Object* image) {
  if (!image) return "no image";
  if (!objc::respondsTo(image, msg::description.sel)) return "an object of class " + image->isa()->name();
  return host::send(image, msg::description);
}

}  // namespace qv::statusbar

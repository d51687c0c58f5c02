#include "platform/statusbar/status_bar_items.h"

#include <cstdio>

#include "platform/host/messages.h"
#include "platform/statusbar/custom_item_view.h"
#include "platform/statusbar/images.h"

namespace qv::statusbar {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

struct ItemObject final : Object {
  using Object::Object;
  StatusBarItems::ItemState state;
};

Id makeItem(objc::Class* cls) {
  return std::make_shared<ItemObject>(cls);
}
StatusBarItems* itemsOf(void* ctx) {
  return static_cast<StatusBarItems*>(ctx);
}

// Every accessor tolerates a receiver of another kind (a subclass made with another factory).
StatusBarItems::ItemState* stateOf(Object* self) {
  auto* item = objc::as<ItemObject>(self);
  return item ? &item->state : nullptr;
}

std::string formatPadding(double padding) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", padding);
  return buffer;
}

void defineItemClass(objc::Runtime& rt, StatusBarItems* items) {
  objc::Class* cls = rt.defineClass("LSStatusBarItem", rt.rootClass(), &makeItem);
  if (!cls) return;
  rt.addMethod<Id(std::string, std::int64_t)>(
      cls, msg::initWithIdentifierAlignment.sel,
      [](void* ctx, Object* self, Sel, std::string identifier, std::int64_t alignment) -> Id {
        if (auto* s = stateOf(self)) itemsOf(ctx)->initialised(self, *s, std::move(identifier), alignment);
        return self->self();
      },
      items);
  rt.addMethod<std::string()>(cls, msg::identifier.sel, [](void*, Object* self, Sel) -> std::string {
    auto* s = stateOf(self);
    return s ? s->identifier : std::string();
  });
  rt.addMethod<void(std::string)>(
      cls, msg::setImageName.sel,
      [](void* ctx, Object* self, Sel, std::string name) {
        auto* s = stateOf(self);
        if (!s || s->imageName == name) return;
        s->imageName = std::move(name);
        itemsOf(ctx)->appearanceChanged(self, *s);
      },
      items);
  auto imageName = [](void*, Object* self, Sel) -> std::string {
    auto* s = stateOf(self);
    return s ? s->imageName : std::string();
  };
  rt.addMethod<std::string()>(cls, msg::imageName.sel, imageName);
  // The custom view reads the image name from its bound item under this name.
  rt.addMethod<std::string()>(cls, msg::indicatorName.sel, imageName);
  rt.addMethod<void(bool)>(
      cls, msg::setVisible.sel,
      [](void* ctx, Object* self, Sel, bool visible) {
        if (auto* s = stateOf(self)) itemsOf(ctx)->visibilityChanged(self, *s, visible);
      },
      items);
  rt.addMethod<bool()>(cls, msg::isVisible.sel, [](void*, Object* self, Sel) {
    auto* s = stateOf(self);
    return s && s->visible;
  });
  rt.addMethod<std::string()>(cls, msg::customViewClass.sel, [](void*, Object* self, Sel) -> std::string {
    auto* s = stateOf(self);
    return s ? s->customViewClass : std::string();
  });
  rt.addMethod<void(std::string)>(
      cls, msg::setCustomViewClass.sel,
      [](void* ctx, Object* self, Sel, std::string name) {
        auto* s = stateOf(self);
        if (!s || s->customViewClass == name) return;
        s->customViewClass = std::move(name);
        itemsOf(ctx)->appearanceChanged(self, *s);
      },
      items);
}

}  // namespace

StatusBarItems::StatusBarItems(host::Host& host, objc::Class* customViewBase)
    : host_(host), customViewBase_(customViewBase) {
  defineItemClass(host.runtime(), this);
}

std::vector<std::string> StatusBarItems::shownIdentifiers() const {
  std::vector<std::string> out;
  for (const auto& [identifier, shown] : shown_) out.push_back(identifier);
  return out;
}

std::optional<std::string> StatusBarItems::drawing(std::string_view identifier) const {
  auto it = shown_.find(identifier);
  if (it == shown_.end()) return std::nullopt;
  return it->second.drawing;
}

objc::Id StatusBarItems::shownItem(std::string_view identifier) const {
  auto it = shown_.find(identifier);
  return it == shown_.end() ? nullptr : it->second.item;
}

objc::Id StatusBarItems::customView(std::string_view identifier) const {
  auto it = shown_.find(identifier);
  return it == shown_.end() ? nullptr : it->second.view;
}

void StatusBarItems::initialised(Object* item, ItemState& state, std::string identifier, std::int64_t alignment) {
  // An item initialised again (the same receiver twice) stays one item; a shown one first
  // gives up its icon, since it may now stand for another identifier.
  if (state.visible) {
    state.visible = false;
    auto it = shown_.find(state.identifier);
    if (it != shown_.end() && it->second.item.get() == item) hide(state.identifier);
  }
  if (!state.initialised) ++itemsCreated_;
  state.initialised = true;
  state.identifier = std::move(identifier);
  state.alignment = alignment;
}

void StatusBarItems::visibilityChanged(Object* item, ItemState& state, bool visible) {
  if (state.visible == visible) return;
  state.visible = visible;
  if (visible) {
    show(item, state);
    return;
  }
  auto it = shown_.find(state.identifier);
  if (it != shown_.end() && it->second.item.get() == item) hide(state.identifier);
}

void StatusBarItems::appearanceChanged(Object* item, ItemState& state) {
  if (!state.visible) return;
  auto it = shown_.find(state.identifier);
  if (it == shown_.end() || it->second.item.get() != item) return;
  std::string drawing = draw(item, state, it->second);
  if (drawing == it->second.drawing) return;
  it->second.drawing = drawing;
  record(timeline::Kind::StatusIconShown, state.identifier, drawing);
}

void StatusBarItems::show(Object* item, ItemState& state) {
  if (state.identifier.empty()) {
    host_.timeline().record(host_.processName(), timeline::Kind::Host, "status bar",
                            "an item without an identifier shows nothing");
    return;
  }
  auto [it, isNew] = shown_.try_emplace(state.identifier);
  Shown& shown = it->second;
  if (shown.item.get() != item) {
    shown.item = item->self();
    shown.view = nullptr;
  }
  std::string drawing = draw(item, state, shown);
  if (!isNew && drawing == shown.drawing) return;
  shown.drawing = drawing;
  record(timeline::Kind::StatusIconShown, state.identifier, drawing);
}

void StatusBarItems::hide(const std::string& identifier) {
  auto it = shown_.find(identifier);
  if (it == shown_.end()) return;
  std::string drawing = std::move(it->second.drawing);
  shown_.erase(it);
  record(timeline::Kind::StatusIconHidden, identifier, drawing);
}

void StatusBarItems::hideAll() {
  // hide() erases the entry its identifier names: hand it a copy.
  while (!shown_.empty()) hide(std::string(shown_.begin()->first));
}

std::string StatusBarItems::draw(Object* item, const ItemState& state, Shown& shown) {
  const std::string plain = state.imageName.empty() ? "(no image)" : state.imageName;
  if (state.customViewClass.empty()) {
    shown.view = nullptr;
    shown.viewClass.clear();
    return plain;
  }
  objc::Class* viewClass = host_.runtime().getClass(state.customViewClass);
  if (!viewClass || !customViewBase_ || !viewClass->isSubclassOf(customViewBase_)) {
    shown.view = nullptr;
    shown.viewClass.clear();
    return plain + " (custom view class " + state.customViewClass + " unavailable)";
  }
  if (!shown.view || shown.viewClass != state.customViewClass) {
    shown.view = makeCustomItemView(viewClass, item->self());
    shown.viewClass = state.customViewClass;
  }
  Id image = host::send(shown.view, msg::contentsImage);
  const double padding = host::send(shown.view, msg::standardPadding);
  return viewClass->name() + ": " + describeImage(image.get()) + ", padding " + formatPadding(padding);
}

void StatusBarItems::record(timeline::Kind kind, const std::string& identifier, const std::string& detail) {
  host_.timeline().record(host_.processName(), kind, identifier, detail, {{"item", timeline::Borrowed{identifier}}, {"drawing", timeline::Borrowed{detail}}});
}

}  // namespace qv::statusbar

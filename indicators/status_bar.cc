#include "indicators/status_bar.h"

#include "core/categories.h"
#include "core/helper_messages.h"
#include "core/library.h"
#include "core/missed_helper.h"

namespace qv::indicators {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;
namespace hm = core::hm;

core::Library& lib(Object* self) { return core::libraryOf(self); }

void lookUpStockClasses(core::Library& library) {
  core::StatusBarState& s = library.statusBar;
  if (s.classesLookedUp) return;
  s.classesLookedUp = true;
  s.stockItemClass = library.host.runtime().getClass("UIStatusBarItem");
  s.aggregatorClass = library.host.runtime().getClass("SBStatusBarStateAggregator");
}

Id stockItem(core::Library& library, std::int64_t type) {
  lookUpStockClasses(library);
  return host::send(library.statusBar.stockItemClass, msg::itemWithTypeIdiom, type, 0);
}

}  // namespace

Id makeStatusBarItem(core::Library& library, const std::string& identifier) {
  objc::Class* cls = library.host.runtime().getClass("LSStatusBarItem");
  return host::send(host::send(cls, msg::alloc), msg::initWithIdentifierAlignment, identifier, kItemAlignment);
}

void addStatusBarForIdentifier(core::Library& library, std::string_view key) {
  library.settings.load(library.host);
  if (!library.settings.showStatusEnabled()) {
    library.explain(key, "status-bar item not shown: \"showStatus\" is off");
    return;
  }
  library.statusBar.statusBarDirty = true;
  std::optional<core::Category> c = core::categoryForStatusBarKey(key);
  if (!c) return;
  const core::CategoryInfo& row = core::info(*c);
  // Each call makes a new item; the earlier one is not hidden (the library shows one icon per
  // identifier, the newest).
  Id item = makeStatusBarItem(library, std::string(row.itemIdentifier));
  library.helper().statusBarItem(*c) = item;
  host::send(item, msg::setImageName, std::string(row.imageName));
  host::send(item, msg::setVisible, true);
}

std::string iconNameFromItem(const Id& item) {
  if (!item) return "";
  const std::string d = host::send(item, msg::description);
  const std::size_t open = d.find('[');
  // The closing bracket (the last character) is dropped whatever it is.
  if (open == std::string::npos || open + 2 > d.size()) return "";
  return d.substr(open + 1, d.size() - open - 2);
}

void setStockItemsNamed(core::Library& library, std::string_view name, bool enabled) {
  for (int type = 0; type < kMaxStockItemTypes; ++type) {
    Id item = stockItem(library, type);
    if (!item) return;
    if (host::send(library.sharedHelper, hm::IconNameFromItem, item) != name) continue;
    Id aggregator = host::send(library.statusBar.aggregatorClass, msg::sharedInstance);
    host::send(aggregator, msg::setItemEnabled, type, enabled);
  }
}

bool setItemEnabledHook(core::Library& library, const objc::Slot<bool(std::int64_t, bool)>& previous, Object* self,
                        Sel sel, std::int64_t type, bool enabled) {
  Id item = stockItem(library, type);
  const bool keepDisabled = host::send(library.sharedHelper, hm::isDisabledStatus, item);
  return previous(self, sel, type, keepDisabled ? false : enabled);
}

void registerStatusBarOperations(core::Library& library, objc::Class* cls) {
  objc::Runtime& rt = library.host.runtime();
  rt.addMethod<void(std::string)>(cls, hm::addStatusBarForIdentifier.sel, [](void*, Object* self, Sel, std::string key) {
    addStatusBarForIdentifier(lib(self), key);
  });
  rt.addMethod<std::string(Id)>(cls, hm::IconNameFromItem.sel, [](void*, Object*, Sel, Id item) {
    return iconNameFromItem(item);
  });
  rt.addMethod<bool(Id)>(cls, hm::isDisabledStatus.sel, [](void*, Object* self, Sel, Id item) {
    // The name is computed, as the check would need it, but no stock item is kept disabled.
    (void)host::send(lib(self).sharedHelper, hm::IconNameFromItem, item);
    return false;
  });
  rt.addMethod<void(std::string)>(cls, hm::DisableItemFromString.sel, [](void*, Object* self, Sel, std::string name) {
    setStockItemsNamed(lib(self), name, false);
  });
  rt.addMethod<void(std::string)>(cls, hm::enableItemFromString.sel, [](void*, Object* self, Sel, std::string name) {
    setStockItemsNamed(lib(self), name, true);
  });
}

}  // namespace qv::indicators

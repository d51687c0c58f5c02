#include "platform/statusbar/app_list.h"

#include "platform/host/messages.h"
#include "platform/statusbar/images.h"

namespace qv::statusbar {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

ApplicationList* listOf(void* ctx) {
  return static_cast<ApplicationList*>(ctx);
}

}  // namespace

ApplicationList::ApplicationList(host::Host& host, const springboard::HomeScreen& home, objc::Class* imageClass)
    : home_(home), imageClass_(imageClass) {
  objc::Runtime& rt = host.runtime();
  objc::Class* cls = rt.defineClass("ALApplicationList", rt.rootClass());
  if (!cls) return;  // another layer defined it already; its answers stand
  shared_ = cls->instantiate();
  rt.addClassMethod<Id()>(
      cls, msg::sharedApplicationList.sel, [](void* ctx, Object*, Sel) -> Id { return listOf(ctx)->shared_; }, this);
  rt.addMethod<Id(std::uint64_t, std::string)>(
      cls, msg::iconOfSize.sel,
      [](void* ctx, Object*, Sel, std::uint64_t size, std::string bundleId) {
        return listOf(ctx)->iconOf(size, bundleId);
      },
      this);
}

Id ApplicationList::iconOf(std::uint64_t size, const std::string& bundleId) const {
  if (size == 0) return nullptr;
  auto name = home_.displayName(bundleId);
  if (!name) return nullptr;
  return makeImage(imageClass_, "icon of " + *name + " (" + bundleId + ") at " + std::to_string(size) + " pt");
}

}  // namespace qv::statusbar

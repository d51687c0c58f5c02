// MissedHelper as the bulletin data provider of the lock-screen reminder bulletins: it names
// the section of the bulletin being added (its sectionIdentifier field), sorts by date, newest
// first, and hands out no bulletins of its own when asked.
#include "alerts/banner.h"
#include "core/library.h"
#include "platform/host/messages.h"

namespace qv::alerts {

void registerDataProviderOperations(core::Library& library, objc::Class* missedHelper) {
  objc::Runtime& rt = library.host.runtime();
  rt.addMethod<host::ObjectList()>(
      missedHelper, host::msg::sortDescriptors.sel,
      [](void* ctx, objc::Object*, objc::Sel) {
        auto& lib = *static_cast<core::Library*>(ctx);
        objc::Class* cls = lib.host.runtime().getClass("NSSortDescriptor");
        return host::ObjectList{host::send(cls, host::msg::sortDescriptorWithKey, std::string("date"), false)};
      },
      &library);
  rt.addMethod<objc::Id(std::uint64_t, std::uint64_t, pl::Value)>(
      missedHelper, host::msg::bulletinsFilteredBy.sel,
      [](void*, objc::Object*, objc::Sel, std::uint64_t, std::uint64_t, pl::Value) { return objc::Id(); });
}

}  // namespace qv::alerts

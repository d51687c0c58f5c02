#include "alerts/banner_request.h"

#include <chrono>
#include <optional>
#include <utility>

#include "alerts/banner.h"
#include "core/library.h"
#include "platform/host/messages.h"

namespace qv::alerts {
namespace {

namespace msg = host::msg;
using objc::Id;

constexpr double kSecondsFrom1970To2001 = 978307200.0;

// What differs between the two requests; everything else is common.
struct RequestText {
  std::optional<pl::Value> context;  // not set at all when absent
  std::string message;
  std::optional<std::string> subtitle;
  bool showsMessagePreview;
  Id defaultAction;
};

// The request takes its own strings and action: the message, the record id and the action move
// into their setters instead of being copied once more at each send.
Id buildRequest(core::Library& library, const std::string& sectionId, RequestText text) {
  objc::Class* cls = library.host.runtime().getClass("BBBulletinRequest");
  Id request = host::send(host::send(cls, msg::alloc), msg::init);
  if (!request) return nullptr;
  std::string recordId = reminderRecordId(sectionId);
  const pl::Value now = currentDate(library);
  host::send(request, msg::setTitle, std::string(kBulletinTitle));
  if (text.context) host::send(request, msg::setContext, *text.context);
  host::send(request, msg::setMessage, std::move(text.message));
  if (text.subtitle) host::send(request, msg::setSubtitle, *text.subtitle);
  host::send(request, msg::setSectionID, sectionId);
  host::send(request, msg::setRecordID, std::move(recordId));
  host::send(request, msg::setBulletinID, sectionId);
  host::send(request, msg::setPublisherBulletinID, sectionId);
  host::send(request, msg::setClearable, true);
  host::send(request, msg::setShowsMessagePreview, text.showsMessagePreview);
  host::send(request, msg::setDate, now);
  host::send(request, msg::setPublicationDate, now);
  host::send(request, msg::setLastInterruptDate, now);
  host::send(request, msg::setDefaultAction, std::move(text.defaultAction));
  return request;
}

}  // namespace

pl::Value currentDate(core::Library& library) {
  const auto sinceEpoch = library.host.scheduler().now().time_since_epoch();
  return pl::Date{std::chrono::duration<double>(sinceEpoch).count() - kSecondsFrom1970To2001};
}

Id makeBannerRequest(core::Library& library, std::string message, const std::string& sectionId) {
  objc::Class* action = library.host.runtime().getClass("BBAction");
  // Tapping opens the app; the block itself has nothing to do.
  Id open = host::send(action, msg::actionWithLaunchBundleID, sectionId, host::Block([] {}));
  return buildRequest(library, sectionId, RequestText{std::nullopt, std::move(message), std::nullopt, true, std::move(open)});
}

Id makeLockScreenRequest(core::Library& library, const std::string& text, const std::string& sectionId,
                         const Id& defaultAction, const pl::Value& context) {
  return buildRequest(library, sectionId, RequestText{context, "", text, false, defaultAction});
}

}  // namespace qv::alerts

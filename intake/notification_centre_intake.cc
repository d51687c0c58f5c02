#include "intake/notification_centre_intake.h"

#include "core/registry.h"
#include "intake/app_blocks.h"
#include "intake/classification.h"
#include "intake/host_objects.h"
#include "intake/other_apps_intake.h"

namespace qv::intake {
namespace {

namespace msg = host::msg;
using core::Category;

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace

void decideOldestWaitingRequest(core::Library& library) {
  auto& waiting = library.intake.waitingRequests;
  if (waiting.empty()) return;
  const objc::Id request = std::move(waiting.front());
  waiting.pop_front();
  classifyNotificationRequest(library, recordOfRequest(request));
}

void postRequestHook(core::Library& library, const objc::Slot<void(objc::Id)>& previous, objc::Object* self,
                     objc::Sel sel, objc::Id request) {
  previous(self, sel, request);
  library.intake.waitingRequests.push_back(std::move(request));
  // The request's own queue touches nothing of the library's: it only hands over.
  dispatch::Scheduler& scheduler = library.host.scheduler();
  dispatch::QueueRef main = library.host.mainQueue();
  core::Library* lib = &library;
  scheduler.async(library.host.createSerialQueue(kRequestQueueLabel),
                  [&scheduler, main, lib] { scheduler.async(main, [lib] { decideOldestWaitingRequest(*lib); }); });
}

void clearOnNotificationAction(core::Library& library, const std::string& origin, const objc::Id& runner) {
  const bool lockScreen = contains(origin, "BulletinDestinationLockScreen");
  if (!lockScreen && !contains(origin, "BulletinDestinationNotificationCenter")) {
    library.explain("notification action", "clears nothing: acted on from " + origin);
    return;
  }
  const std::string cause = lockScreen ? "acted on from the lock screen" : "acted on from the notification centre";
  const std::string id = ask(ask(runner, msg::bulletin), msg::sectionID);
  if ((id == kPhoneSection || id == kFaceTimeSection) && core::timerPresent(library, Category::Call)) {
    library.explain(core::info(Category::Call).name, "clear asked by notification: " + cause);
    library.host.notifyPost(core::info(Category::Call).clearNotification);
  }
  if (library.settings.listsApp(id) && listedAppClearable(library, id)) clearListedAppReminder(library, id, cause);
}

void executeActionHook(core::Library& library,
                       const objc::Slot<void(objc::Id, std::string, pl::Value, host::Block)>& previous,
                       objc::Object* self, objc::Sel sel, objc::Id action, std::string origin, pl::Value parameters,
                       host::Block completion) {
  previous(self, sel, std::move(action), origin, std::move(parameters), std::move(completion));
  core::Library* lib = &library;
  objc::Id runner = self->weak_from_this().lock();
  library.host.scheduler().async(library.host.mainQueue(), [lib, origin = std::move(origin), runner] {
    clearOnNotificationAction(*lib, origin, runner);
  });
}

}  // namespace qv::intake

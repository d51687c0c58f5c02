#include "intake/home_screen_clearing.h"

#include "core/helper_messages.h"
#include "core/missed_helper.h"
#include "intake/classification.h"
#include "intake/host_objects.h"
#include "intake/other_apps_intake.h"

namespace qv::intake {

namespace msg = host::msg;

void clearOnAppActivation(core::Library& library, const objc::Object* application) {
  const std::string id = ask(application, msg::bundleIdentifier);
  if (id.empty() || !library.settings.listsApp(id)) return;
  if (listedAppClearable(library, id)) clearListedAppReminder(library, id, "app opened");
  // The shared item goes even while other listed apps keep reminding; their next fire or
  // start brings it back.
  if (objc::Id item = library.helper().statusBarItemOther) {
    library.explain(id, "shared item of listed apps hidden: app opened");
    host::send(item, msg::setVisible, false);
    host::send(library.sharedHelper, core::hm::setStatusBarItemOther, objc::Id());
  }
}

void didAnimateActivationHook(core::Library& library, const objc::Slot<void()>& previous, objc::Object* self,
                              objc::Sel sel) {
  clearOnAppActivation(library, self);
  previous(self, sel);
}

void fireNotificationHook(core::Library& library, const objc::Slot<void(objc::Id)>& previous, objc::Object* self,
                          objc::Sel sel, objc::Id notification) {
  previous(self, sel, notification);
  const std::optional<pl::Dict> userInfo = dictionaryOf(ask(notification, msg::userInfo));
  classifyWhatsAppLocalNotification(library, userInfo ? &*userInfo : nullptr);
}

}  // namespace qv::intake

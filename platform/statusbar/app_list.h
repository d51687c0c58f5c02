// The application list library of the home screen (ALApplicationList): the installed apps and
// their icons, read from the home screen's app table. An icon is a UIImage that says which
// app's icon at which size it is; an unknown app has none. Main-queue use.
//   Id icon = send(send(listClass, msg::sharedApplicationList), msg::iconOfSize, 15, "com.apple.AppStore");
#pragma once

#include "platform/host/host.h"
#include "platform/springboard/home_screen.h"

namespace qv::statusbar {

class ApplicationList {
 public:
  // Defines ALApplicationList in the home screen's runtime; `imageClass` makes the icons.
  ApplicationList(host::Host& host, const springboard::HomeScreen& home, objc::Class* imageClass);
  ApplicationList(const ApplicationList&) = delete;
  ApplicationList& operator=(const ApplicationList&) = delete;

  // iconOfSize:forDisplayIdentifier: as the class answers it: null for an unknown app or size 0.
  objc::Id iconOf(std::uint64_t size, const std::string& bundleId) const;

 private:
  const springboard::HomeScreen& home_;
  objc::Class* imageClass_;
  objc::Id shared_;
};

}  // namespace qv::statusbar

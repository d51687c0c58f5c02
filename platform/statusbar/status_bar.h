// Everything of the status bar in the home screen, defined before the library loads: images, the
// status-bar library, the application list and the home screen's own items. A device without
// the status-bar library is one whose home screen leaves kStatusBarLibraryClasses undefined.
//   statusbar::StatusBar bar(host, home);  bar.items().isShown("quorvel.QVSMS");
#pragma once

#include "platform/statusbar/app_list.h"
#include "platform/statusbar/status_bar_items.h"
#include "platform/statusbar/stock_items.h"

namespace qv::statusbar {

// The classes that make up the status-bar library.
inline constexpr const char* kStatusBarLibraryClasses[] = {"LSStatusBarItem", "UIStatusBarCustomItemView"};

class StatusBar {
 public:
  StatusBar(host::Host& host, const springboard::HomeScreen& home);
  StatusBar(const StatusBar&) = delete;
  StatusBar& operator=(const StatusBar&) = delete;

  StatusBarItems& items() { return items_; }
  const StatusBarItems& items() const { return items_; }
  StockStatusBar& stock() { return stock_; }
  ApplicationList& applications() { return applications_; }

 private:
  objc::Class* imageClass_;
  objc::Class* customViewBase_;
  StatusBarItems items_;
  ApplicationList applications_;
  StockStatusBar stock_;
};

}  // namespace qv::statusbar

// The status-bar library of the home screen: LSStatusBarItem objects and the icons they show,
// one per identifier. Icons shown and hidden are timeline events (StatusIconShown/Hidden:
// subject the identifier, detail what is drawn: the image name, or for a custom view
// "Class: image, padding N"). Main-queue use.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/host.h"

namespace qv::statusbar {

// Alignments in the library's numbering.
inline constexpr std::int64_t kAlignLeft = 1;
inline constexpr std::int64_t kAlignRight = 2;
inline constexpr std::int64_t kAlignCenter = 4;

// One icon per identifier: the item most recently made visible (hidden → visible) with an
// identifier is the one shown. A newer visible item with an identifier already shown leaves one
// icon (redrawn when it draws something else). Hiding the shown item removes the icon, even when
// older items with that identifier are still visible: they were superseded and show nothing
// until made visible again. Hiding an older item, or changing its image, changes nothing on
// screen. The library keeps the shown items alive, as the status bar keeps their icons.
class StatusBarItems {
 public:
  // Defines LSStatusBarItem; custom views must descend from `customViewBase`.
  StatusBarItems(host::Host& host, objc::Class* customViewBase);
  StatusBarItems(const StatusBarItems&) = delete;
  StatusBarItems& operator=(const StatusBarItems&) = delete;

  // --- What the status bar shows ---
  // The identifiers with an icon, in identifier order.
  std::vector<std::string> shownIdentifiers() const;
  // find, not count: a count by a transparent key walks the whole equal range (the invariant
  // checker asks after every instant).
  bool isShown(std::string_view identifier) const { return shown_.find(identifier) != shown_.end(); }
  // What the icon of an identifier draws (the StatusIconShown detail), or none.
  std::optional<std::string> drawing(std::string_view identifier) const;
  // The item whose icon is shown for an identifier, and its custom view (null when none).
  objc::Id shownItem(std::string_view identifier) const;
  objc::Id customView(std::string_view identifier) const;
  // The home screen that shows them is ending (a restart): every icon goes, each recorded hidden.
  void hideAll();
  // Items initialised so far (each init of an item counts once).
  std::size_t itemsCreated() const { return itemsCreated_; }

  // Internal to the item class: an item's state changed.
  struct ItemState;
  void initialised(objc::Object* item, ItemState& state, std::string identifier, std::int64_t alignment);
  void visibilityChanged(objc::Object* item, ItemState& state, bool visible);
  void appearanceChanged(objc::Object* item, ItemState& state);

 private:
  struct Shown {
    objc::Id item;
    objc::Id view;
    std::string viewClass;  // the custom view class the view was made for
    std::string drawing;
  };
  void show(objc::Object* item, ItemState& state);
  void hide(const std::string& identifier);
  // Draws the item (making or reusing its custom view) and returns what it drew.
  std::string draw(objc::Object* item, const ItemState& state, Shown& shown);
  void record(timeline::Kind kind, const std::string& identifier, const std::string& detail);

  host::Host& host_;
  objc::Class* customViewBase_;
  std::map<std::string, Shown, std::less<>> shown_;
  std::size_t itemsCreated_ = 0;
};

// The fields of one LSStatusBarItem.
struct StatusBarItems::ItemState {
  bool initialised = false;
  std::string identifier;
  std::int64_t alignment = 0;
  std::string imageName;
  std::string customViewClass;  // "" for none
  bool visible = false;
};

}  // namespace qv::statusbar

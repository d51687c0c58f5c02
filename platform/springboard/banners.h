// Banners: SBBannerController (the banner on screen, its replace and dismiss intervals as
// cancellable delayed performs), SBBulletinBannerController (iOS 7 and 8 `observer:addBulletin:
// forFeed:`, from iOS 9 the `…playLightsAndSirens:withReply:` form) and SBBannerContextView. One
// banner at a time; a newcomer waits for the replace interval. Main queue.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/foundation_classes.h"
#include "platform/host/host.h"
#include "platform/host/messages.h"
#include "platform/objc/runtime.h"
#include "platform/springboard/bulletins.h"

namespace qv::springboard {

// Why a banner left the screen (the argument of `noteDidDismissWithReason:`).
// Restarted is never sent to a view: the home screen that showed the banner is gone.
enum class BannerDismissal : std::int64_t { Timeout = 1, Tapped = 2, Replaced = 3, Locked = 4, Restarted = 5 };

struct BannerScreen {
  double width = 375;              // the banner view's frame width: the screen's portrait width
  bool pad = false;                // an iPad centres the content in a narrow column
  bool legacyAddBulletin = false;  // iOS 7 and 8: observer:addBulletin:forFeed:
};

// A banner view's frame is the screen's portrait width; its own `_centeredBoundsForRect:` keeps
// the content full-width on a phone and centres a 360-point column on an iPad.
class Banners {
 public:
  // A banner shows this long before a waiting one may replace it...
  static constexpr std::chrono::milliseconds kReplaceInterval{2000};
  // ...and dismisses itself after this long.
  static constexpr std::chrono::milliseconds kDismissInterval{5000};
  // Banner content: frame height and the content rectangle's top and height.
  static constexpr double kFrameHeight = 100, kContentTop = 10, kContentHeight = 80;
  // The content column of an iPad banner.
  static constexpr double kPadColumnWidth = 360;

  // A banner reads its texts from its bulletin, which is settled before it is published.
  struct Banner {
    objc::Id bulletin;   // the bulletin shown (a BBBulletin)
    objc::Id request;    // iOS 10: the notification request, when the banner shows one
    objc::Id view;       // SBBannerContextView while on screen (the home screen's one view)
    objc::Id context;    // what `_bannerContext` answers while on screen (its one context)
    host::Rect content;  // the content frame the view laid out
    dispatch::Trace trace;  // of the work that presented it: a banner that waits is told as its own

    const std::string& sectionID() const { return texts().sectionID; }
    const std::string& title() const { return texts().title; }
    const std::string& message() const { return texts().message; }
    // Shown between title and message when set (a lock-screen re-post's text).
    const std::string& subtitle() const { return texts().subtitle; }

   private:
    const BulletinFields& texts() const { return static_cast<const BulletinObject&>(*bulletin).fields; }
  };

  // Defines SBBannerController, SBBulletinBannerController, SBBannerContextView and the context class.
  Banners(host::Host& host, foundation::Foundation& foundation, BannerScreen screen);
  Banners(const Banners&) = delete;
  Banners& operator=(const Banners&) = delete;

  const objc::Id& bannerController() const { return bannerController_; }
  const objc::Id& bulletinBannerController() const { return bulletinBannerController_; }
  const BannerScreen& screen() const { return screen_; }

  // Shows a banner now, or queues it while another is on screen and may not be replaced yet.
  // Nothing shows while the device is locked.
  void present(Banner&& banner);
  // The banner on screen, or null.
  const Banner* current() const { return current_ ? &*current_ : nullptr; }
  std::size_t waiting() const { return queue_.size(); }
  // Whether the device is locked (no banner shows then); unset: never.
  std::function<bool()> screenLocked;
  // Takes the banner on screen away (noteDidDismissWithReason: through the runtime) and
  // returns it; the next waiting banner shows unless the device locked.
  std::optional<Banner> dismiss(BannerDismissal reason);
  // The home screen restarts: the banner on screen goes with it (recorded, reason Restarted) and
  // none of those waiting will show.
  void goneWithTheHomeScreen();

  // Internal to the classes.
  void replaceIntervalElapsed();
  void dismissIntervalElapsed();
  void presentBulletin(const objc::Id& bulletin);

 private:
  void show(Banner&& banner);
  void showNextWaiting();
  void recordDismissal(const Banner& gone, BannerDismissal reason);
  const std::string& contentText(const host::Rect& content);

  host::Host& host_;
  foundation::Foundation& foundation_;
  BannerScreen screen_;
  // One banner shows at a time and its frame is the screen's width, so one view and one context
  // serve every banner instead of a pair made and let go at each.
  objc::Id view_;
  objc::Id context_;
  objc::Id bannerController_;
  objc::Id bulletinBannerController_;
  std::optional<Banner> current_;
  std::deque<Banner> queue_;
  bool replaceable_ = false;
  std::string text_;  // an event's detail, built here so that its room is reused
  // " (content x 0, width 375)": the one view lays out the same content at every banner, so its
  // text is made again only when the content differs from the one it was made for.
  struct ContentText {
    host::Rect content{};
    bool made = false;
    std::string text;
  };
  ContentText contentText_;
};

}  // namespace qv::springboard

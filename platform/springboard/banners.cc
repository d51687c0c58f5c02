#include "platform/springboard/banners.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/springboard/bulletins.h"
#include "platform/springboard/internal/classes.h"

namespace qv::springboard {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

Banners* bannersOf(void* ctx) {
  return static_cast<Banners*>(ctx);
}

struct BannerView final : Object {
  using Object::Object;
  host::Rect frame;
};

// The dismissal's stable id for tools.
const char* reasonId(BannerDismissal reason) {
  switch (reason) {
    case BannerDismissal::Timeout:
      return "timeout";
    case BannerDismissal::Tapped:
      return "tapped";
    case BannerDismissal::Replaced:
      return "replaced";
    case BannerDismissal::Locked:
      return "locked";
    case BannerDismissal::Restarted:
      return "restarted";
  }
  return "?";
}

// The dismissal's text up to the app: "dismissed, timed out: ".
std::string_view dismissedText(BannerDismissal reason) {
  switch (reason) {
    case BannerDismissal::Timeout:
      return "dismissed, timed out: ";
    case BannerDismissal::Tapped:
      return "dismissed, tapped: ";
    case BannerDismissal::Replaced:
      return "dismissed, replaced: ";
    case BannerDismissal::Locked:
      return "dismissed, device locked: ";
    case BannerDismissal::Restarted:
      return "dismissed, home screen restarted: ";
  }
  return "dismissed, ?: ";
}

// A number as a stream prints it by default (six significant digits), without a stream's cost.
void appendNumber(std::string& out, double value) {
  char digits[32];
  // Whole numbers under a million print as integers either way; -0 keeps its sign below.
  if (value > -1e6 && value < 1e6 && value == static_cast<double>(static_cast<std::int64_t>(value)) &&
      (value != 0 || !std::signbit(value))) {
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, static_cast<std::int64_t>(value));
    out.append(digits, error == std::errc{} ? end : digits);
    return;
  }
  auto [end, error] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 6);
  out.append(digits, error == std::errc{} ? end : digits);
}

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// "Anna — hi" and the content's text, into `out` (reused: it keeps its room).
void describeBanner(const Banners::Banner& b, std::string_view contentText, std::string& out) {
  out.assign(b.title());
  out += " — ";
  out += b.subtitle();
  if (!b.subtitle().empty() && !b.message().empty()) out += ": ";
  out += b.message();
  out += contentText;
}

void defineBannerView(objc::Runtime& rt, objc::Class* view, Banners* banners) {
  rt.addMethod<host::Rect()>(view, msg::frame.sel, [](void*, Object* self, Sel) {
    auto* v = internal::self<BannerView>(self);
    return v ? v->frame : host::Rect{};
  });
  // The content column: the whole width on a phone, a centred column on an iPad.
  rt.addMethod<host::Rect(host::Rect)>(
      view, msg::centeredBoundsForRect.sel,
      [](void* ctx, Object* self, Sel, host::Rect r) {
        auto* v = internal::self<BannerView>(self);
        if (!v || !bannersOf(ctx)->screen().pad) return r;
        const double width = std::min(r.width, Banners::kPadColumnWidth);
        return host::Rect{(v->frame.width - width) / 2, r.y, width, r.height};
      },
      banners);
  rt.addMethod<host::Rect()>(view, msg::centeredBounds.sel, [](void*, Object* self, Sel) {
    auto* v = internal::self<BannerView>(self);
    if (!v) return host::Rect{};
    const host::Rect content{0, Banners::kContentTop, v->frame.width, Banners::kContentHeight};
    return host::send(self, msg::centeredBoundsForRect, content);
  });
  rt.addMethod<void(std::int64_t)>(view, msg::noteDidDismissWithReason.sel, [](void*, Object*, Sel, std::int64_t) {});
}

void defineBulletinBannerController(objc::Runtime& rt, objc::Class* cls, Banners* banners) {
  if (banners->screen().legacyAddBulletin) {
    rt.addMethod<void(Id, Id, std::uint64_t)>(
        cls, msg::observerAddBulletin.sel,
        [](void* ctx, Object*, Sel, Id, Id bulletin, std::uint64_t) { bannersOf(ctx)->presentBulletin(bulletin); },
        banners);
  } else {
    rt.addMethod<void(Id, Id, std::uint64_t, bool, host::Block)>(
        cls, msg::observerAddBulletinPlayLights.sel,
        [](void* ctx, Object*, Sel, Id, Id bulletin, std::uint64_t, bool, host::Block reply) {
          bannersOf(ctx)->presentBulletin(bulletin);
          if (reply) reply();
        },
        banners);
  }
}

}  // namespace

Banners::Banners(host::Host& host, foundation::Foundation& foundation, BannerScreen screen)
    : host_(host), foundation_(foundation), screen_(screen) {
  objc::Runtime& rt = host.runtime();
  objc::Class* controller = internal::defineRootClass(rt, "SBBannerController");
  bannerController_ = internal::allocInit(controller);
  rt.addClassMethod<Id()>(
      controller, msg::sharedInstance.sel, [](void* ctx, Object*, Sel) { return bannersOf(ctx)->bannerController(); },
      this);
  rt.addMethod<Id()>(
      controller, msg::bannerContext.sel,
      [](void* ctx, Object*, Sel) -> Id {
        const Banner* shown = bannersOf(ctx)->current();
        return shown ? shown->context : nullptr;
      },
      this);
  rt.addMethod<void()>(
      controller, msg::replaceIntervalElapsed.sel,
      [](void* ctx, Object*, Sel) { bannersOf(ctx)->replaceIntervalElapsed(); }, this);
  rt.addMethod<void()>(
      controller, msg::dismissIntervalElapsed.sel,
      [](void* ctx, Object*, Sel) { bannersOf(ctx)->dismissIntervalElapsed(); }, this);

  objc::Class* bulletinController = internal::defineRootClass(rt, "SBBulletinBannerController");
  bulletinBannerController_ = internal::allocInit(bulletinController);
  rt.addClassMethod<Id()>(
      bulletinController, msg::sharedInstance.sel,
      [](void* ctx, Object*, Sel) { return bannersOf(ctx)->bulletinBannerController(); }, this);
  defineBulletinBannerController(rt, bulletinController, this);

  objc::Class* viewClass = internal::defineRootClass(rt, "SBBannerContextView", &internal::makeObject<BannerView>);
  defineBannerView(rt, viewClass, this);
  view_ = viewClass->instantiate();
  internal::self<BannerView>(view_.get())->frame = host::Rect{0, 0, screen_.width, kFrameHeight};
  context_ = internal::defineRootClass(rt, "SBUIBannerContext")->instantiate();
}

void Banners::presentBulletin(const Id& bulletin) {
  const BulletinFields* f = bulletinFields(bulletin);
  if (!f) return;
  present(Banner{bulletin, nullptr, nullptr, nullptr, {}, {}});
}

void Banners::present(Banner&& banner) {
  banner.trace = host_.scheduler().trace();
  if (screenLocked && screenLocked()) {
    internal::recordHost(host_, "banner", "not shown, the device is locked: " + banner.sectionID());
    return;
  }
  if (!current_) return show(std::move(banner));
  queue_.push_back(std::move(banner));
  if (replaceable_) dismiss(BannerDismissal::Replaced);
}

void Banners::show(Banner&& banner) {
  banner.view = view_;
  banner.context = context_;
  current_ = std::move(banner);
  replaceable_ = false;
  current_->content = host::send(current_->view, msg::centeredBounds);
  if (host_.timeline().active()) {
    // Told as part of what presented it, not of what made room for it.
    dispatch::TraceScope told(host_.scheduler(), current_->trace);
    describeBanner(*current_, contentText(current_->content), text_);
    host_.timeline().record(host_.processName(), timeline::Kind::Banner, current_->sectionID(), text_,
                            {{"app", timeline::Borrowed{current_->sectionID()}},
                             {"title", timeline::Borrowed{current_->title()}},
                             {"subtitle", timeline::Borrowed{current_->subtitle()}},
                             {"message", timeline::Borrowed{current_->message()}},
                             {"contentX", static_cast<std::int64_t>(current_->content.x)},
                             {"contentWidth", static_cast<std::int64_t>(current_->content.width)}});
  }
  foundation_.performAfterDelay(bannerController_, msg::replaceIntervalElapsed.sel, kReplaceInterval);
  foundation_.performAfterDelay(bannerController_, msg::dismissIntervalElapsed.sel, kDismissInterval);
}

std::optional<Banners::Banner> Banners::dismiss(BannerDismissal reason) {
  if (!current_) return std::nullopt;
  foundation_.cancelPerforms(bannerController_.get(), msg::replaceIntervalElapsed.sel);
  foundation_.cancelPerforms(bannerController_.get(), msg::dismissIntervalElapsed.sel);
  host::send(current_->view, msg::noteDidDismissWithReason, static_cast<std::int64_t>(reason));
  // Moved once, into what is returned.
  std::optional<Banner> gone = std::move(current_);
  current_.reset();
  replaceable_ = false;
  recordDismissal(*gone, reason);
  if (reason == BannerDismissal::Locked)
    queue_.clear();
  else
    showNextWaiting();
  return gone;
}

// " (content x 204, width 360)", made again only when the content's numbers differ (to the bit,
// so that -0 keeps its own text).
const std::string& Banners::contentText(const host::Rect& content) {
  if (contentText_.made && sameBits(contentText_.content.x, content.x) && sameBits(contentText_.content.width, content.width))
    return contentText_.text;
  contentText_.text.assign(" (content x ");
  appendNumber(contentText_.text, content.x);
  contentText_.text += ", width ";
  appendNumber(contentText_.text, content.width);
  contentText_.text += ")";
  contentText_.content = content;
  contentText_.made = true;
  return contentText_.text;
}

void Banners::recordDismissal(const Banner& gone, BannerDismissal reason) {
  if (!host_.timeline().active()) return;
  dispatch::TraceScope told(host_.scheduler(), gone.trace);
  text_.assign(dismissedText(reason));
  text_ += gone.sectionID();
  host_.timeline().record(host_.processName(), timeline::Kind::BannerDismissed, "banner", text_,
                          {{"app", timeline::Borrowed{gone.sectionID()}}, {"reason", timeline::Borrowed{reasonId(reason)}}});
}

void Banners::goneWithTheHomeScreen() {
  queue_.clear();
  if (!current_) return;
  foundation_.cancelPerforms(bannerController_.get(), msg::replaceIntervalElapsed.sel);
  foundation_.cancelPerforms(bannerController_.get(), msg::dismissIntervalElapsed.sel);
  const Banner gone = std::move(*current_);
  current_.reset();
  replaceable_ = false;
  recordDismissal(gone, BannerDismissal::Restarted);
}

void Banners::showNextWaiting() {
  if (current_ || queue_.empty()) return;
  Banner next = std::move(queue_.front());
  queue_.pop_front();
  show(std::move(next));
}

void Banners::replaceIntervalElapsed() {
  if (!current_) return;
  replaceable_ = true;
  if (!queue_.empty()) dismiss(BannerDismissal::Replaced);
}

void Banners::dismissIntervalElapsed() {
  if (current_) dismiss(BannerDismissal::Timeout);
}

}  // namespace qv::springboard

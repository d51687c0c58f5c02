#include "core/registry.h"

#include <array>
#include <string>

#include "core/helper_messages.h"
#include "core/library.h"
#include "core/missed_helper.h"
#include "platform/stack_text.h"

namespace qv::core {
namespace {

using objc::Id;
using objc::Object;
using objc::Sel;
namespace msg = host::msg;

// Each start and clear operation is registered with its category row as context.
void startImp(void* ctx, Object* self, Sel) {
  auto* row = static_cast<const CategoryInfo*>(ctx);
  startCategory(static_cast<MissedHelper*>(self)->library, row->category);
}
void clearImp(void* ctx, Object* self, Sel) {
  auto* row = static_cast<const CategoryInfo*>(ctx);
  clearCategory(static_cast<MissedHelper*>(self)->library, row->category);
}
void loadImTimerImp(void*, Object* self, Sel, std::string argument) {
  if (auto c = categoryForStartArgument(argument)) startCategory(static_cast<MissedHelper*>(self)->library, *c);
}

// How a start relates to the reminder's run: "rearm" continues it, "restart" replaces an armed
// timer, "new" begins one.
const char* startKind(Library& library, bool wasArmed) {
  return library.alerts.rearming ? "rearm" : wasArmed ? "restart" : "new";
}

}  // namespace

bool timerPresent(Library& library, Category c) { return library.helper().timer(c) != nullptr; }

bool timerArmed(Library& library, Category c) {
  const Id& timer = library.helper().timer(c);
  return timer && host::send(timer, msg::isValid);
}

namespace {
bool shown(const Id& item) {
  return item && objc::respondsTo(item.get(), msg::isVisible.sel) && host::send(item, msg::isVisible);
}
}  // namespace

bool statusItemShown(Library& library, Category c) { return shown(library.helper().statusBarItem(c)); }

// Asked at every clear an app posts, mostly with nothing pending: the helper is found once.
bool reminderPending(Library& library, Category c) {
  MissedHelper& helper = library.helper();
  return helper.timer(c) != nullptr || shown(helper.statusBarItem(c));
}

void dropTimer(Library& library, Category c) {
  Id& timer = library.helper().timer(c);
  if (!timer) return;
  host::send(timer, msg::invalidate);
  timer = nullptr;
}

void startCategory(Library& library, Category c) {
  const CategoryInfo& row = info(c);
  const bool wasArmed = library.alerts.runOpen[index(c)];
  dropTimer(library, c);
  const std::int64_t seconds = library.settings.number(row.intervalKey);
  objc::Class* timerClass = library.host.runtime().getClass("PCSimpleTimer");
  Id timer = host::send(host::send(timerClass, msg::alloc), msg::initTimer, static_cast<double>(seconds),
                        std::string(kTimerServiceIdentifier), library.sharedHelper,
                        selectorsOf(c).fireHandler,
                        row.startArgument.empty() ? pl::Value() : pl::Value(row.startArgument));
  library.helper().timer(c) = timer;
  library.alerts.runOpen[index(c)] = timer != nullptr;
  host::send(timer, msg::scheduleInRunLoop, host::send(library.host.runtime().getClass("NSRunLoop"), msg::mainRunLoop));
  if (timer && library.host.timeline().active()) {
    // Written into room of its own (no string made): the armed event comes at every re-arm.
    StackText<48> text;
    text << "next alert in " << seconds << " s";
    library.record(timeline::Kind::ReminderArmed, row.name, text.view(),
                   {{"category", timeline::Borrowed{row.id}},
                    {"interval", seconds},
                    {"start", timeline::Borrowed{startKind(library, wasArmed)}}});
  }
}

void clearCategory(Library& library, Category c) {
  const CategoryInfo& row = info(c);
  MissedHelper& helper = library.helper();
  const bool wasArmed = timerArmed(library, c);
  library.alerts.runOpen[index(c)] = false;
  const bool wasPending = wasArmed || helper.statusBarItem(c);
  dropTimer(library, c);
  library.reminders.counter(c) = 1;
  library.reminders.activeFlag(c) = false;
  if (Id item = std::move(helper.statusBarItem(c))) host::send(item, msg::setVisible, false);
  helper.statusBarItem(c) = nullptr;
  if (library.statusBar.statusBarDirty) host::send(library.sharedHelper, hm::updateStatusbar);
  if (wasPending)
    library.record(timeline::Kind::ReminderCleared, row.name, {},
                   {{"category", std::string(row.id)}, {"reason", std::string("cleared")}, {"running", wasArmed}});
}

const CategorySelectors& selectorsOf(Category c) {
  static const auto selectors = [] {
    std::array<CategorySelectors, kCategoryCount> all;
    for (const CategoryInfo& row : kCategories)
      all[index(row.category)] = {Sel::intern(row.startOperation), Sel::intern(row.fireHandler),
                                  Sel::intern(row.clearOperation)};
    return all;
  }();
  return selectors[index(c)];
}

void registerRegistryOperations(Library& library, objc::Class* cls) {
  objc::Runtime& rt = library.host.runtime();
  for (const CategoryInfo& row : kCategories) {
    void* ctx = const_cast<CategoryInfo*>(&row);
    if (row.startArgument.empty()) rt.addMethod<void()>(cls, Sel::intern(row.startOperation), &startImp, ctx);
    rt.addMethod<void()>(cls, Sel::intern(row.clearOperation), &clearImp, ctx);
  }
  rt.addMethod<void(std::string)>(cls, hm::LoadImTimer.sel, &loadImTimerImp);
  rt.addMethod<void()>(cls, hm::updateStatusbar.sel, [](void*, Object* self, Sel) {
    static_cast<MissedHelper*>(self)->library.statusBar.statusBarDirty = false;
  });
}

}  // namespace qv::core

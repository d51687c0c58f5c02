// The vocabulary of the app blocks: one evaluation of one notification at one entry point, the
// settings gates, the start variants (Restart, Start-if-idle, Replace, Load), Mark, the saves, and
// the explanations each step leaves for --explain. Main thread only (the request rules arrive
// through the main queue, never on their own queue).
//   if (gate(ev, "missed call", {Key::globalIm, Key::imCalWats})) restart(ev, Category::WhatsAppCall);
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/categories.h"
#include "core/library.h"
#include "intake/intake_notification.h"

namespace qv::intake {

enum class EntryPoint : std::uint8_t { Publish, LockScreenAdd, Request, WhatsAppLocal, CallState };

// Debug builds: the rules touch main-thread state, so they run on the main queue (or, in tests,
// outside every queue), never on a request's own queue.
void assertOnMainThread(core::Library& library);

// "publish rules", "lock-screen add rules", ...
std::string_view entryPointName(EntryPoint e);

// One notification on its way through one entry point's app blocks.
class Evaluation {
 public:
  Evaluation(core::Library& library, EntryPoint entry, const IntakeNotification& note)
      : library(library), entry(entry), note(note), payloads(library.host, note) {}
  Evaluation(const Evaluation&) = delete;
  Evaluation& operator=(const Evaluation&) = delete;

  core::Library& library;
  const EntryPoint entry;
  const IntakeNotification& note;
  Payloads payloads;
  std::string_view block;         // the app block being evaluated ("" before the first)
  bool otherGatesPassed = false;  // the Other block's gates passed (the Twitter block needs them)

  bool ios7to9() const { return entry == EntryPoint::Publish || entry == EntryPoint::LockScreenAdd; }
  const std::string& sectionID() const { return note.sectionID; }
  std::string_view categoryIdentifier() const {
    return note.categoryIdentifier ? std::string_view(*note.categoryIdentifier) : std::string_view();
  }

  // One decision line, "<entry point>, <block>: <parts...>", under the notification's section
  // id; built only when someone listens.
  template <class... Parts>
  void explain(const Parts&... parts) {
    if (!library.host.timeline().wantsDecisions()) return;
    std::string line(entryPointName(entry));
    if (!block.empty()) (line += ", ") += block;
    line += ": ";
    (line += ... += std::string_view(parts));
    library.explain(note.sectionID, line);
  }
};

// Whether every key is on and then the alert gate lets a reminder start now; each refusal (and
// the pass) is explained with `what` ("missed call").
bool gate(Evaluation& ev, std::string_view what, std::initializer_list<core::Key> keys);
// The same with the alert gate first, so the keys are read from the settings it reloaded (the
// Other block: listed, then the window, then "otherEnabled").
bool gateWindowFirst(Evaluation& ev, std::string_view what, std::initializer_list<core::Key> keys);

// Running: the category's timer field holds a timer (armed, or spent and not re-armed).
bool running(core::Library& library, core::Category c);
// Running as Start-if-idle sees it: a spent timer that was not re-armed does not count.
bool runningNotSpent(core::Library& library, core::Category c);

// Mark: repeat counter 1, active flag set.
void mark(core::Library& library, core::Category c);
// The category's start operation (LoadsmsTimer, LoadImTimer: ...) on the shared MissedHelper.
void start(core::Library& library, core::Category c);
// The category's clear operation (clearsmsTimer, ...).
void clear(core::Library& library, core::Category c);
// addStatusBarForIdentifier: with the category's status-bar key.
void showItem(core::Library& library, core::Category c);

// Clear C if it is running.
void clearIfRunning(Evaluation& ev, core::Category c);
// Restart: clear if running, then Mark, Start, status item.
void restart(Evaluation& ev, core::Category c);
// Start-if-idle: nothing at all while running; otherwise Mark, Start, status item.
void startIfIdle(Evaluation& ev, core::Category c);
// Replace (Call and SMS): drop a running timer without clearing it, then Mark, Start, item.
void replace(Evaluation& ev, core::Category c);
// Load (Mail): Mark, Start, status item; the start replaces a running timer itself.
void load(Evaluation& ev, core::Category c);
// Mark, Start, status item, in that order (the request rules' fresh start).
void markStartShow(Evaluation& ev, core::Category c);

// Save A+C, A, C: the notification's default action and context into C's slots.
void saveActionAndContext(Evaluation& ev, core::Category c);
void saveAction(Evaluation& ev, core::Category c);
void saveContext(Evaluation& ev, core::Category c);

// The badge of an app's home-screen icon; 0 when it has no icon.
std::int64_t appBadge(core::Library& library, std::string_view bundleId);
// A badge as the SMS snapshot keeps it: clamped to 0 .. INT32_MAX.
std::int32_t clampedBadge(std::int64_t badge);

}  // namespace qv::intake

// What an event says once its trace is read, the same for the JSON writer and the summary: the
// reminder it belongs to, which alert of it, and the scenario action that caused it. Hears every
// event in order (it learns the actions from their own events). One run, one thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/timeline/timeline.h"

namespace qv::sim {

struct ActionRef {
  std::uint32_t number = 0;  // 1-based, in time order, as traces carry it
  std::string what;          // its `do`
  std::string text;          // as the story tells it
};

class EventFacts {
 public:
  explicit EventFacts(const timeline::Timeline& timeline) : timeline_(timeline) {}
  EventFacts(const EventFacts&) = delete;
  EventFacts& operator=(const EventFacts&) = delete;

  // Call for every event, in order, before asking about it.
  void observe(const timeline::Event& e);
  // The kinds `observe` learns from: the rest it may be spared.
  static constexpr timeline::KindSet kKindsRead = {timeline::Kind::Action};

  // The reminder id the event names, or (for kinds of a reminder) the one whose work recorded it.
  std::string category(const timeline::Event& e) const { return std::string(categoryView(e)); }
  // The same as a view into the event or the timeline (valid while both are).
  std::string_view categoryView(const timeline::Event& e) const;
  // The alert of `category` that recorded the event; 0 for none.
  std::uint32_t alert(const timeline::Event& e, const std::string& category) const;
  // The scenario action behind a reminder's end or clear, when no alert of its own made it.
  const ActionRef* cause(const timeline::Event& e) const;
  // The action a trace names, once its event was heard.
  const ActionRef* action(std::uint32_t number) const;

 private:
  const timeline::Timeline& timeline_;
  std::vector<ActionRef> actions_;  // by number - 1; unheard numbers stay empty
};

// The text of a text field; empty when absent or not a text.
std::string textField(const timeline::Event& e, std::string_view name);
// The same as a view into the event. Inline: readers pass literal names, and a name's length known
// where it is called turns the comparison of names into a compare of a few bytes.
inline std::string_view textFieldView(const timeline::Event& e, std::string_view name) {
  const timeline::Field::Value* v = e.field(name);
  const timeline::Text* s = v ? std::get_if<timeline::Text>(v) : nullptr;
  return s ? s->view() : std::string_view();
}

}  // namespace qv::sim

#include "sim/event_facts.h"

#include "core/categories.h"
#include "sim/event_reference.h"

namespace qv::sim {

std::string textField(const timeline::Event& e, std::string_view name) { return std::string(textFieldView(e, name)); }

void EventFacts::observe(const timeline::Event& e) {
  if (e.kind != timeline::Kind::Action || e.trace.action == 0) return;
  if (actions_.size() < e.trace.action) actions_.resize(e.trace.action);
  ActionRef& ref = actions_[e.trace.action - 1];
  if (ref.number != 0) return;  // a later event of the same action tells what came of it
  ref = {e.trace.action, textField(e, "do"), textField(e, "text")};
}

std::string_view EventFacts::categoryView(const timeline::Event& e) const {
  const std::string_view own = textFieldView(e, "category");
  if (!own.empty()) return own;
  if (e.kind == timeline::Kind::StatusIconShown || e.kind == timeline::Kind::StatusIconHidden) {
    for (const core::CategoryInfo& row : core::kCategories)
      if (row.itemIdentifier == e.subject) return row.id;
    return {};
  }
  if (!kindDoc(e.kind).ofReminder || e.trace.reminder == 0) return {};
  return timeline_.reminderIdView(e.trace.reminder);
}

std::uint32_t EventFacts::alert(const timeline::Event& e, const std::string& category) const {
  if (e.trace.alert == 0 || category.empty() || timeline_.reminderIdView(e.trace.reminder) != category) return 0;
  return e.trace.alert;
}

const ActionRef* EventFacts::cause(const timeline::Event& e) const {
  if (e.trace.alert != 0) return nullptr;
  return action(e.trace.action);
}

const ActionRef* EventFacts::action(std::uint32_t number) const {
  if (number == 0 || number > actions_.size() || actions_[number - 1].number == 0) return nullptr;
  return &actions_[number - 1];
}

}  // namespace qv::sim

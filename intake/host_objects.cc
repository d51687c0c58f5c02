#include "intake/host_objects.h"

#include "intake/app_blocks.h"

namespace qv::intake {
namespace {

namespace msg = host::msg;

objc::Id defaultActionOf(const objc::Id& bulletin) {
  const host::ObjectMap actions = ask(bulletin, msg::actions);
  auto it = actions.find("default");
  return it == actions.end() ? nullptr : it->second;
}

}  // namespace

std::optional<pl::Dict> dictionaryOf(const pl::Value& v) {
  const pl::Dict* d = v.ifDict();
  return d ? std::optional<pl::Dict>(*d) : std::nullopt;
}

pl::Value dictionaryValueOf(pl::Value v) { return v.ifDict() ? std::move(v) : pl::Value(); }

IntakeNotification recordOfBulletin(const objc::Id& bulletin) {
  IntakeNotification note;
  note.sectionID = ask(bulletin, msg::sectionID);
  note.context = dictionaryValueOf(ask(bulletin, msg::context));
  note.defaultAction = defaultActionOf(bulletin);
  note.title = ask(bulletin, msg::title);
  note.recordID = ask(bulletin, msg::recordID);
  return note;
}

IntakeNotification recordOfRequest(const objc::Id& request) {
  const objc::Id bulletin = ask(request, msg::bulletin);
  IntakeNotification note;
  note.sectionID = ask(request, msg::requestSectionIdentifier);
  if (std::string category = ask(request, msg::categoryIdentifier); !category.empty())
    note.categoryIdentifier = std::move(category);
  note.context = dictionaryValueOf(ask(note.sectionID == kSmsSection ? request : bulletin, msg::context));
  note.defaultAction = defaultActionOf(bulletin);
  note.title = ask(bulletin, msg::title);
  note.recordID = ask(bulletin, msg::recordID);
  return note;
}

}  // namespace qv::intake

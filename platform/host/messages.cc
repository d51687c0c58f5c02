#include "platform/host/messages.h"

namespace qv::host {

bool isKindOf(const objc::Object* object, std::string_view className) {
  if (!object) return false;
  objc::Class* target = object->isa()->runtime().getClass(className);
  return target && object->isa()->isSubclassOf(target);
}

}  // namespace qv::host

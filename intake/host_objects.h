// Reading the host's notification objects the hooks are handed (bulletins, requests, list items,
// action runners, local notifications) into the records the rules take. An object that does
// not answer a message reads as absent, never as an error: the hooks see whatever the system
// passes them. Main thread.
#pragma once

#include <string>

#include "intake/intake_notification.h"
#include "platform/host/messages.h"

namespace qv::intake {

// The answer to `m`, or a zero value when `o` is null or does not answer it with that signature.
template <class F>
typename objc::ImpTraits<F>::Result ask(const objc::Object* o, const host::Message<F>& m) {
  using R = typename objc::ImpTraits<F>::Result;
  const objc::Imp* imp = o ? o->isa()->resolve(m.sel) : nullptr;
  if (!imp || imp->sig != &objc::kSignature<F>) return R();
  return host::send(const_cast<objc::Object*>(o), m);
}
template <class F>
typename objc::ImpTraits<F>::Result ask(const objc::Id& o, const host::Message<F>& m) {
  return ask(o.get(), m);
}

// A dictionary value, or none for anything else.
std::optional<pl::Dict> dictionaryOf(const pl::Value& v);
// A dictionary value as it is (its entries shared, not copied), or null for anything else.
pl::Value dictionaryValueOf(pl::Value v);

// The record of a bulletin (iOS 7 to 9): sectionID, context, actions "default".
IntakeNotification recordOfBulletin(const objc::Id& bulletin);
// The record of a notification request (iOS 10): its section and category identifiers, its
// bulletin's context (for SMS the request's own) and default action.
IntakeNotification recordOfRequest(const objc::Id& request);

}  // namespace qv::intake

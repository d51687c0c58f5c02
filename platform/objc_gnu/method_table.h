// The binding's table beside the real runtime. The real runtime holds, as the IMP of every
// method this binding adds, one native function per signature; the table holds, per (class,
// selector), what that IMP stands for there: our implementation, its context and signature.
// The real dispatch picks the method; the table says which implementation it is.
// Threads: lookups from any thread; changes only while no other thread sends.
#pragma once

#include "platform/objc/selector.h"
#include "platform/objc/signature.h"

struct objc_class;

namespace qv::objc_gnu {

struct MethodEntry {
  objc::Imp imp;       // what runs (a hook replaces it in place)
  objc::RawFn native;  // the IMP the real runtime holds for the method
};

// The entry `cls` itself has for `sel`, or null.
MethodEntry* ownEntry(objc_class* cls, objc::Sel sel);
// Records a method the binding has just added to `cls`.
MethodEntry& addEntry(objc_class* cls, objc::Sel sel, MethodEntry entry);
// The entry of the nearest class from `cls` up its chain (metaclasses end at the root class,
// as the dispatch does), or null.
MethodEntry* nearestEntry(objc_class* cls, objc::Sel sel);
// Forgets every entry of a class the real runtime is about to dispose of (its address may
// come back as another class).
void forgetEntries(objc_class* cls);
// The next class the dispatch looks in after `cls`: its superclass, and for the root
// metaclass the root class itself.
objc_class* nextInChain(objc_class* cls);

}  // namespace qv::objc_gnu

// Instances of the binding's classes: each carries a small header in the real runtime's
// indexed instance variables, naming the C++ object behind it (if any) and how to destroy it;
// a class may name a factory that makes its instances (inherited by its subclasses).
// Threads: factories are set at class definition, before any other thread sends.
#pragma once

#include "platform/objc_gnu/runtime.h"

namespace qv::objc_gnu {

void setFactory(Class* cls, Runtime::Factory factory);
void forgetFactory(Class* cls);
// A new instance from the nearest factory up the chain, or a plain one.
Object* instantiate(Class* cls);
// Records a root class this binding made, so headerOf can tell its instances from others.
void markRoot(Class* root);

}  // namespace qv::objc_gnu

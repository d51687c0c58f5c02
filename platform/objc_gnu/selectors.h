// Our selectors in the real runtime: each objc::Sel maps to the real runtime's selector of the
// same name, looked up once and then read without a lock. Any thread.
#pragma once

#include "platform/objc/selector.h"

struct objc_selector;

namespace qv::objc_gnu {

// The real runtime's (untyped) selector with the name of `sel`.
const objc_selector* realSelector(objc::Sel sel);
// Our selector with the name of the real runtime's `sel`.
objc::Sel ourSelector(const objc_selector* sel);

}  // namespace qv::objc_gnu

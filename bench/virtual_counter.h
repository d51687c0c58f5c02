// The same work as the runtime benchmark's method, behind a C++ virtual call whose implementation
// lives in another file, so the compiler cannot see through the call.
#pragma once

#include <cstdint>
#include <memory>

namespace qv::bench {

struct VirtualCounter {
  virtual ~VirtualCounter() = default;
  virtual std::int64_t increment(std::int64_t by) = 0;
};

std::unique_ptr<VirtualCounter> makeVirtualCounter();

}  // namespace qv::bench

#include "bench/virtual_counter.h"

namespace qv::bench {
namespace {
struct VirtualCounterImpl final : VirtualCounter {
  std::int64_t value = 0;
  std::int64_t increment(std::int64_t by) override { return value += by; }
};
}  // namespace

std::unique_ptr<VirtualCounter> makeVirtualCounter() { return std::make_unique<VirtualCounterImpl>(); }

}  // namespace qv::bench

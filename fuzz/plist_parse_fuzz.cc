// libFuzzer target for property-list parsing: whatever the bytes, parse() must return, and
// anything it accepts must write out in both formats and read back.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz/fuzz_support.h"
#include "platform/plist/io.h"

namespace {

// Caps keep each run fast; the limits are what is under test, not their defaults.
qv::pl::ReadLimits fuzzLimits() {
  qv::pl::ReadLimits limits;
  limits.maxNodes = 100'000;
  return limits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto value = qv::pl::parse(std::span(data, size), fuzzLimits());
  if (!value) return 0;
  // What we read from binary we must be able to write as binary and read back unchanged.
  // Values read from XML may hold characters binary carries but XML does not, and vice versa
  // (control characters, NUL), so a refusal to write is allowed; a broken write is not.
  for (auto format : {qv::pl::Format::Binary, qv::pl::Format::Xml}) {
    auto bytes = qv::pl::serialize(*value, format);
    if (!bytes) continue;
    auto again = qv::pl::parse(*bytes, fuzzLimits());
    if (!again) std::abort();
    if (format == qv::pl::Format::Binary && !qv::fuzz::samePlist(*again, *value)) std::abort();
  }
  return 0;
}

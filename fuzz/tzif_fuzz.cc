// Feeds arbitrary bytes to the TZif reader and converts a few instants with whatever it accepts.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/time/timezone.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace std::chrono;
  auto zone = qv::tz::TimeZone::fromTzif("fuzz", std::span(data, size));
  if (!zone) return 0;
  for (std::int64_t t : {std::int64_t{-5'000'000'000}, std::int64_t{0}, std::int64_t{1'774'746'000},
                         std::int64_t{4'000'000'000}}) {
    sys_seconds instant{seconds{t}};
    qv::tz::fromCivil(qv::tz::toCivil(instant, *zone), *zone);
  }
  return 0;
}

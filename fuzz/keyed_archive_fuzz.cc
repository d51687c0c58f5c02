// libFuzzer target for keyed archives: unarchive() and localNotificationUserInfo() must return
// on any bytes, and a userInfo they find must survive being archived again.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz/fuzz_support.h"
#include "platform/plist/keyed_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span bytes(data, size);
  qv::pl::ReadLimits limits;
  limits.maxNodes = 100'000;
  (void)qv::pl::unarchive(bytes, limits);
  if (auto userInfo = qv::pl::localNotificationUserInfo(bytes)) {
    // Uids have no object form (they come back as numbers), so only uid-free userInfo must
    // survive; an empty archive means it holds text no property list can carry.
    const auto rearchived = qv::pl::archiveLocalNotification(*userInfo);
    if (!rearchived.empty() && !qv::fuzz::holdsUid(qv::pl::Value(*userInfo))) {
      const auto again = qv::pl::localNotificationUserInfo(rearchived);
      if (!again || !qv::fuzz::samePlist(qv::pl::Value(*again), qv::pl::Value(*userInfo))) std::abort();
    }
  }
  return 0;
}

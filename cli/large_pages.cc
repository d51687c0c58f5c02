// The simulator's memory comes in 2 MiB pages where the kernel grants them (transparent huge
// pages on request): a world first touches tens of megabytes, and on a virtual machine each first
// touch of a 4 KiB page is a fault of several microseconds (16 µs on the machine of
// docs/performance.md); fewer, larger pages also spare address translations. Linked into the
// simulator and the benchmarks when they run on mimalloc. MIMALLOC_LARGE_OS_PAGES set in the
// environment still decides.
#ifdef QV_MIMALLOC
#include <mimalloc.h>

#include <cstdlib>

namespace {

// Before the other static objects of the program are made (they allocate too).
[[gnu::constructor(101)]] void askForLargePages() {
  if (std::getenv("MIMALLOC_LARGE_OS_PAGES") == nullptr) mi_option_enable(mi_option_large_os_pages);
}

}  // namespace
#endif

#include "platform/objc/instance_pool.h"

#include <cstdint>

namespace qv::objc::detail {
namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QV_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(QV_SANITIZED)
constexpr bool kPooling = false;
#else
constexpr bool kPooling = true;
#endif

// Sizes in steps of 16 bytes up to 1024 (a bulletin request with its count is about 560);
// larger blocks take the general allocator.
constexpr std::size_t kStep = 16, kClasses = 64, kKeptPerClass = 32;

struct FreeBlock {
  FreeBlock* next;
};

struct Lists {
  FreeBlock* head[kClasses] = {};
  std::uint32_t count[kClasses] = {};
  ~Lists();
};

// Trivially destructible, so it can still be read while the thread's other objects are destroyed.
thread_local bool listsGone = false;
thread_local Lists lists;

Lists::~Lists() {
  listsGone = true;
  for (std::size_t c = 0; c < kClasses; ++c)
    while (FreeBlock* b = head[c]) {
      head[c] = b->next;
      ::operator delete(b);
    }
}

std::size_t classOf(std::size_t bytes) { return (bytes + kStep - 1) / kStep - 1; }

}  // namespace

void* poolAllocate(std::size_t bytes) {
  const std::size_t c = classOf(bytes);
  if (kPooling && c < kClasses && !listsGone) {
    if (FreeBlock* b = lists.head[c]) {
      lists.head[c] = b->next;
      --lists.count[c];
      return b;
    }
    // Every block of a class has the class's whole size, whichever type freed it.
    return ::operator new((c + 1) * kStep);
  }
  return ::operator new(bytes);
}

void poolFree(void* block, std::size_t bytes) noexcept {
  const std::size_t c = classOf(bytes);
  if (kPooling && c < kClasses && !listsGone && lists.count[c] < kKeptPerClass) {
    auto* b = static_cast<FreeBlock*>(block);
    b->next = lists.head[c];
    lists.head[c] = b;
    ++lists.count[c];
    return;
  }
  ::operator delete(block);
}

}  // namespace qv::objc::detail

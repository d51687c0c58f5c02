#include "platform/objc/instance_pool.h"

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

// Frees what the thread keeps when it ends, and closes its lists (blocks freed later, while the
// thread's other objects are destroyed, go back to the general allocator).
struct ListsOwner {
  bool armed = false;
  ~ListsOwner();
};
thread_local bool listsClosed = false;  // trivially destructible: still readable at the end
thread_local ListsOwner owner;

ListsOwner::~ListsOwner() {
  listsClosed = true;
  poolLists.open = false;
  for (std::size_t c = 0; c < kPoolClasses; ++c) {
    while (FreeBlock* b = poolLists.head[c]) {
      poolLists.head[c] = b->next;
      ::operator delete(b);
    }
    poolLists.count[c] = 0;
  }
}

}  // namespace

constinit thread_local PoolLists poolLists{};

void* poolAllocateNew(std::size_t bytes) {
  const std::size_t c = poolClassOf(bytes);
  // Every block of a class has the class's whole size, whichever type frees it.
  if (kPooling && c < kPoolClasses) return ::operator new((c + 1) * kPoolStep);
  return ::operator new(bytes);
}

void poolFreeSlow(void* block, std::size_t bytes) noexcept {
  const std::size_t c = poolClassOf(bytes);
  if (kPooling && c < kPoolClasses && !poolLists.open && !listsClosed) {
    // The thread's first kept block: its lists are freed when it ends.
    owner.armed = true;  // touching the owner arranges for its destructor at the thread's end
    poolLists.open = true;
  }
  if (kPooling && c < kPoolClasses && poolLists.open && poolLists.count[c] < kKeptPerClass) {
    auto* b = static_cast<FreeBlock*>(block);
    b->next = poolLists.head[c];
    poolLists.head[c] = b;
    ++poolLists.count[c];
    return;
  }
  ::operator delete(block);
}

}  // namespace qv::objc::detail

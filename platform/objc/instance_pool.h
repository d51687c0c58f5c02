// Memory for host instances made and dropped at every alert (a bulletin request and its action,
// a banner's view and context): a block freed by one instance is kept for the next of the same
// size instead of going back to the general allocator, which costs several times more per pair.
//
// Guarantees: per thread, so no lock; a block freed on another thread than the one that made it
// joins that thread's list. Each size keeps at most a few dozen blocks; what a thread keeps is
// freed when it ends. Sanitizer builds use the general allocator, so that they still see every
// use after free and every leak.
//
//   objc::Id view = objc::makeInstance<BannerView>(cls);   // instead of std::make_shared
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace qv::objc {

class Class;
class Object;

namespace detail {

// Sizes in steps of 16 bytes up to 1024 (a bulletin request with its count is about 560);
// larger blocks take the general allocator.
constexpr std::size_t kPoolStep = 16, kPoolClasses = 64, kKeptPerClass = 32;

struct FreeBlock {
  FreeBlock* next;
};

// The blocks a thread keeps. Constant-initialised and trivially destructible, so that reaching
// it costs no first-use check: `open` is set when the thread first keeps a block (and arranges
// for them to be freed at its end) and cleared when they are.
struct PoolLists {
  FreeBlock* head[kPoolClasses];
  std::uint32_t count[kPoolClasses];
  bool open;
};
extern constinit thread_local PoolLists poolLists;

constexpr std::size_t poolClassOf(std::size_t bytes) { return (bytes + kPoolStep - 1) / kPoolStep - 1; }

void* poolAllocateNew(std::size_t bytes);
void poolFreeSlow(void* block, std::size_t bytes) noexcept;

// Inline, so that a kept block of a size known at compile time is taken and given back in a
// handful of instructions; everything else goes out of line.
inline void* poolAllocate(std::size_t bytes) {
  const std::size_t c = poolClassOf(bytes);
  if (c < kPoolClasses)
    if (FreeBlock* b = poolLists.head[c]) {
      poolLists.head[c] = b->next;
      --poolLists.count[c];
      return b;
    }
  return poolAllocateNew(bytes);
}
inline void poolFree(void* block, std::size_t bytes) noexcept {
  const std::size_t c = poolClassOf(bytes);
  if (c < kPoolClasses && poolLists.open && poolLists.count[c] < kKeptPerClass) {
    auto* b = static_cast<FreeBlock*>(block);
    b->next = poolLists.head[c];
    poolLists.head[c] = b;
    ++poolLists.count[c];
    return;
  }
  poolFreeSlow(block, bytes);
}

}  // namespace detail

// A standard allocator over the per-thread lists; what std::allocate_shared asks of it is one
// block holding the count and the instance together.
template <class T>
struct PoolAllocator {
  using value_type = T;
  PoolAllocator() noexcept = default;
  template <class U>
  PoolAllocator(const PoolAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "over-aligned instances take the general allocator");
    if (n != 1) return static_cast<T*>(::operator new(n * sizeof(T)));
    return static_cast<T*>(detail::poolAllocate(sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept {
    if (n != 1) return ::operator delete(p);
    detail::poolFree(p, sizeof(T));
  }
  template <class U>
  bool operator==(const PoolAllocator<U>&) const noexcept {
    return true;
  }
};

// A new instance of T (an Object constructed from its class) in pooled memory.
template <class T>
std::shared_ptr<Object> makeInstance(Class* cls) {
  return std::allocate_shared<T>(PoolAllocator<T>{}, cls);
}

}  // namespace qv::objc

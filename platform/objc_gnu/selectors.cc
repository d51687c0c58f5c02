#include "platform/objc_gnu/selectors.h"

#include <objc/runtime.h>

#include <array>
#include <atomic>
#include <cassert>
#include <cstdint>
#include <mutex>

namespace qv::objc_gnu {
namespace {

// Selector ids are dense from 1, so the map is an array in chunks that are never moved: a hit
// costs two atomic loads, a miss registers the name under the lock.
constexpr std::uint32_t kChunkBits = 10;
constexpr std::uint32_t kChunkSize = 1u << kChunkBits;
constexpr std::uint32_t kChunks = 256;  // room for 262,144 selectors
using Chunk = std::array<std::atomic<SEL>, kChunkSize>;

struct SelectorMap {
  std::array<std::atomic<Chunk*>, kChunks> chunks{};
  std::mutex mutex;
};

SelectorMap& selectorMap() {
  static SelectorMap* map = new SelectorMap;  // never destroyed: selectors outlive everything
  return *map;
}

}  // namespace

const objc_selector* realSelector(objc::Sel sel) {
  const std::uint32_t id = sel.id();
  assert(id != 0 && (id >> kChunkBits) < kChunks);
  SelectorMap& map = selectorMap();
  Chunk* chunk = map.chunks[id >> kChunkBits].load(std::memory_order_acquire);
  if (chunk) {
    if (SEL s = (*chunk)[id & (kChunkSize - 1)].load(std::memory_order_acquire)) return s;
  }
  std::lock_guard lock(map.mutex);
  chunk = map.chunks[id >> kChunkBits].load(std::memory_order_relaxed);
  if (!chunk) {
    chunk = new Chunk{};
    map.chunks[id >> kChunkBits].store(chunk, std::memory_order_release);
  }
  SEL s = sel_registerName(sel.name());
  (*chunk)[id & (kChunkSize - 1)].store(s, std::memory_order_release);
  return s;
}

objc::Sel ourSelector(const objc_selector* sel) {
  // A call through the real dispatch passes the selector the caller registered; the same few
  // come back again and again, so each thread remembers its recent ones (interning locks).
  struct Cached {
    const objc_selector* real = nullptr;
    objc::Sel ours;
  };
  thread_local std::array<Cached, 64> recent{};
  Cached& slot = recent[(reinterpret_cast<std::uintptr_t>(sel) >> 4) % recent.size()];
  if (slot.real != sel) slot = Cached{sel, objc::Sel::intern(sel_getName(sel))};
  return slot.ours;
}

}  // namespace qv::objc_gnu

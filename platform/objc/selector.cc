#include "platform/objc/selector.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace qv::objc {
namespace {

// The selector table of the OS process, as the class runtime of a device has one. It only
// grows; names live in a deque so the pointers handed out stay valid.
struct SelectorTable {
  std::mutex mutex;
  std::deque<std::string> names;
  std::unordered_map<std::string_view, std::uint32_t> ids;
  std::atomic<std::uint32_t> count{0};
};

SelectorTable& table() {
  static SelectorTable* t = new SelectorTable;  // never destroyed: selectors outlive everything
  return *t;
}

}  // namespace

Sel Sel::intern(std::string_view name) {
  // Most calls name the same few selectors from the same constant tables, at every alert: a small
  // cache per thread, keyed by where the name lives and checked against the interned text, spares
  // them the table's lock and hash. Interned names never move, so a hit is always right. Names are
  // literals packed close together: the slot comes from a multiplicative hash of the address, and
  // a name looks at four neighbouring slots, so that a few collisions (a reminder's fire handler
  // and its start operation) do not send every alert's interning to the table.
  struct Cached {
    const char* where = nullptr;
    std::size_t size = 0;
    Sel sel;
  };
  constexpr std::size_t kSlots = 64, kWays = 4;
  thread_local Cached cache[kSlots + kWays - 1];
  thread_local std::uint8_t nextWay = 0;
  const std::uintptr_t key = reinterpret_cast<std::uintptr_t>(name.data()) ^ name.size();
  Cached* set = &cache[(key * 0x9E3779B97F4A7C15ull) >> 58];
  for (std::size_t i = 0; i < kWays; ++i) {
    const Cached& c = set[i];
    if (c.where == name.data() && c.size == name.size() && c.sel.id_ != 0 &&
        std::string_view(c.sel.name_, c.size) == name)
      return c.sel;
  }
  const Sel found = internLocked(name);
  // An empty slot first, else the ways in turn.
  std::size_t way = kWays;
  for (std::size_t i = 0; i < kWays && way == kWays; ++i)
    if (set[i].sel.id_ == 0) way = i;
  if (way == kWays) way = nextWay++ % kWays;
  set[way] = Cached{name.data(), name.size(), found};
  return found;
}

Sel Sel::internLocked(std::string_view name) {
  SelectorTable& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.ids.find(name);
  if (it != t.ids.end()) return Sel(it->second, t.names[it->second - 1].c_str());
  t.names.emplace_back(name);
  const std::uint32_t id = static_cast<std::uint32_t>(t.names.size());
  t.ids.emplace(t.names.back(), id);
  t.count.store(id, std::memory_order_release);
  return Sel(id, t.names.back().c_str());
}

std::uint32_t Sel::count() { return table().count.load(std::memory_order_acquire); }

}  // namespace qv::objc

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
  // them the table's lock and hash. Interned names never move, so a hit is always right.
  struct Cached {
    const char* where = nullptr;
    std::size_t size = 0;
    Sel sel;
  };
  thread_local Cached cache[64];
  Cached& slot = cache[(reinterpret_cast<std::uintptr_t>(name.data()) >> 3 ^ name.size()) & 63];
  if (slot.sel.id_ != 0 && slot.where == name.data() && slot.size == name.size() &&
      std::string_view(slot.sel.name_, name.size()) == name)
    return slot.sel;
  const Sel found = internLocked(name);
  slot = Cached{name.data(), name.size(), found};
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

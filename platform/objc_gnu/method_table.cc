#include "platform/objc_gnu/method_table.h"

#include <objc/runtime.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <unordered_map>

namespace qv::objc_gnu {
namespace {

struct Key {
  objc_class* cls;
  std::uint32_t sel;
  friend bool operator==(const Key&, const Key&) = default;
};
struct KeyHash {
  std::size_t operator()(const Key& k) const {
    return std::hash<const void*>()(k.cls) ^ (static_cast<std::size_t>(k.sel) * 0x9E3779B97F4A7C15ull);
  }
};
// Nodes never move, so entries handed out stay valid as the table grows.
using Table = std::unordered_map<Key, MethodEntry, KeyHash>;

Table& table() {
  static Table* t = new Table;  // classes of the real runtime are never unloaded either
  return *t;
}

// Bumped by every new entry, which may change what a class's nearest entry is.
std::atomic<std::uint64_t> generation{1};

// Each thread remembers where its recent sends resolved: (class, selector) -> nearest entry,
// valid while the generation is unchanged. Entries never move, so a remembered one stays valid.
struct Remembered {
  objc_class* cls = nullptr;
  std::uint32_t sel = 0;
  std::uint64_t generation = 0;
  MethodEntry* entry = nullptr;
};
constexpr std::size_t kRemembered = 256;

MethodEntry* nearestEntrySlow(objc_class* cls, objc::Sel sel) {
  for (::Class c = cls; c; c = nextInChain(c))
    if (MethodEntry* e = ownEntry(c, sel)) return e;
  return nullptr;
}

}  // namespace

MethodEntry* ownEntry(objc_class* cls, objc::Sel sel) {
  auto it = table().find(Key{cls, sel.id()});
  return it == table().end() ? nullptr : &it->second;
}

MethodEntry& addEntry(objc_class* cls, objc::Sel sel, MethodEntry entry) {
  MethodEntry& e = table().insert_or_assign(Key{cls, sel.id()}, entry).first->second;
  generation.fetch_add(1, std::memory_order_release);
  return e;
}

void forgetEntries(objc_class* cls) {
  std::erase_if(table(), [cls](const auto& entry) { return entry.first.cls == cls; });
  generation.fetch_add(1, std::memory_order_release);
}

objc_class* nextInChain(objc_class* cls) {
  ::Class next = class_getSuperclass(cls);
  // The GNU runtime links a root metaclass made at run time to its own root class (Object),
  // yet answers class messages from the new root class's methods: follow the dispatch.
  if (class_isMetaClass(cls) && next && !class_isMetaClass(next)) return objc_lookUpClass(class_getName(cls));
  return next;
}

MethodEntry* nearestEntry(objc_class* cls, objc::Sel sel) {
  thread_local std::array<Remembered, kRemembered> remembered{};
  const std::uint64_t now = generation.load(std::memory_order_acquire);
  Remembered& r = remembered[(reinterpret_cast<std::uintptr_t>(cls) / 16 + sel.id() * 31) % kRemembered];
  if (r.cls == cls && r.sel == sel.id() && r.generation == now) return r.entry;
  MethodEntry* e = nearestEntrySlow(cls, sel);
  r = Remembered{cls, sel.id(), now, e};
  return e;
}

}  // namespace qv::objc_gnu

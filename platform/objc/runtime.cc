#include "platform/objc/runtime.h"

#include <cxxabi.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/objc/instance_pool.h"

namespace qv::objc {
namespace {

std::string describeReceiver(const Object* receiver) {
  const Class* cls = receiver->isa();
  if (cls->isMetaclass()) return "+[" + static_cast<const Class*>(receiver)->name();
  return "-[" + cls->name();
}

Id makePlainObject(Class* cls) { return makeInstance<Object>(cls); }

Id allocImp(void*, Object* self, Sel) { return static_cast<Class*>(self)->instantiate(); }
Id newImp(void*, Object* self, Sel) {
  Id obj = static_cast<Class*>(self)->instantiate();
  return send<Id()>(obj, QV_SEL("init"));
}
Id initImp(void*, Object* self, Sel) { return self->self(); }
bool respondsToSelectorImp(void*, Object* self, Sel, Sel query) { return respondsTo(self, query); }
void doesNotRecognizeSelectorImp(void*, Object* self, Sel, Sel query) {
  throwUnrecognized(self, query);
}

}  // namespace

std::string describeSignature(const Signature* sig) {
  if (!sig || !sig->type) return "(none)";
  int status = 0;
  char* s = abi::__cxa_demangle(sig->type->name(), nullptr, nullptr, &status);
  std::string out = (status == 0 && s) ? s : sig->type->name();
  std::free(s);
  return out;
}

void throwUnrecognized(const Object* receiver, Sel sel) {
  throw MessageError(describeReceiver(receiver) + " " + sel.name() + "]: unrecognized selector");
}

void throwMismatch(const Object* receiver, Sel sel, const Signature* have, const Signature* want) {
  throw MessageError(describeReceiver(receiver) + " " + sel.name() + "]: method has signature " +
                     describeSignature(have) + ", sent as " + describeSignature(want));
}

bool respondsTo(const Object* receiver, Sel sel) {
  return receiver && receiver->isa()->resolve(sel) != nullptr;
}

bool Class::isSubclassOf(const Class* other) const {
  for (const Class* c = this; c; c = c->superclass_)
    if (c == other) return true;
  return false;
}

const Imp* Class::resolveSlow(Sel sel) const {
  for (const Class* c = this; c; c = c->superclass_) {
    auto it = c->methods_.find(sel.id());
    if (it != c->methods_.end()) return &it->second.imp;
  }
  return nullptr;
}

// factory_ is the class's own factory, else the nearest one up the chain (see newClassPair).
Id Class::instantiate() { return factory_ ? factory_(this) : makePlainObject(this); }

void Class::rebuildTables() {
  // Built whole, so selectors interned since the superclass's table was built are covered too;
  // the table is then authoritative for every id below its size. A superclass table of the
  // current size already holds the whole chain above: copying it spares walking every class of
  // the chain for each of the hundred classes a process defines.
  const std::size_t size = Sel::count() + 1;
  if (superclass_ && superclass_->table_.size() == size) {
    table_ = superclass_->table_;
  } else {
    table_.assign(size, nullptr);
    std::vector<const Class*> chain;
    for (const Class* c = superclass_; c; c = c->superclass_) chain.push_back(c);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
      for (const auto& [id, method] : (*it)->methods_)
        if (id < size) table_[id] = &method.imp;
  }
  for (const auto& [id, method] : methods_)
    if (id < size) table_[id] = &method.imp;
  for (Class* sub : subclasses_) sub->rebuildTables();
}

Runtime::Runtime(std::string owner) : owner_(std::move(owner)) {
  static std::atomic<std::uint64_t> runtimes{0};
  serial_ = ++runtimes;
  root_ = defineClass("NSObject", nullptr, &makePlainObject);
  addClassMethod<Id()>(root_, QV_SEL("alloc"), &allocImp);
  addClassMethod<Id()>(root_, QV_SEL("new"), &newImp);
  addMethod<Id()>(root_, QV_SEL("init"), &initImp);
  addMethod<bool(Sel)>(root_, QV_SEL("respondsToSelector:"), &respondsToSelectorImp);
  addMethod<void(Sel)>(root_, QV_SEL("doesNotRecognizeSelector:"), &doesNotRecognizeSelectorImp);
}

Runtime::~Runtime() = default;

namespace {

// The system looks the same dozen classes up by name at every alert. A registered name keeps its
// class for the runtime's life, so found classes are cached per thread, keyed by the runtime's
// serial and by where the name lives, and checked against the class's own name (the same address
// may hold another name by now). Names are string literals packed close together: the slot comes
// from a multiplicative hash of the address, and a name looks at four neighbouring slots, so a
// few collisions do not send every alert's lookups to the hash table.
struct CachedClass {
  std::uint64_t runtime = 0;
  const char* where = nullptr;
  std::size_t size = 0;
  const char* text = nullptr;  // the class's own name
  Class* cls = nullptr;
};
constexpr std::size_t kCacheSlots = 64, kCacheWays = 4;
thread_local CachedClass classCache[kCacheSlots + kCacheWays - 1];

// Whether names of 8 to 32 bytes (nearly every class name) at a and b are equal, compared in
// overlapping 8-byte words that stay inside both: no call, no loop.
bool sameMidSizedText(const char* a, const char* b, std::size_t n) {
  auto word = [](const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  };
  std::uint64_t diff = (word(a) ^ word(b)) | (word(a + n - 8) ^ word(b + n - 8));
  if (n > 16) diff |= (word(a + 8) ^ word(b + 8)) | (word(a + n - 16) ^ word(b + n - 16));
  return diff == 0;
}

// The look-up past the cache's usual hit (a name of another size, or one not cached), out of
// line so that a hit calls nothing and saves no registers.
template <class Table>
__attribute__((noinline)) Class* lookUpClass(const Table& byName, std::uint64_t serial, std::string_view name,
                                             CachedClass* set) {
  for (std::size_t i = 0; i < kCacheWays; ++i) {
    const CachedClass& c = set[i];
    if (c.where == name.data() && c.size == name.size() && c.runtime == serial &&
        std::memcmp(c.text, name.data(), c.size) == 0)
      return c.cls;
  }
  thread_local std::uint8_t nextWay = 0;
  auto it = byName.find(name);
  if (it == byName.end()) return nullptr;
  // An empty or stale slot first, else the ways in turn.
  std::size_t way = kCacheWays;
  for (std::size_t i = 0; i < kCacheWays && way == kCacheWays; ++i)
    if (set[i].runtime != serial) way = i;
  if (way == kCacheWays) way = nextWay++ % kCacheWays;
  set[way] = CachedClass{serial, name.data(), name.size(), it->second->name().data(), it->second};
  return it->second;
}

}  // namespace

Class* Runtime::getClass(std::string_view name) const {
  const std::uintptr_t key = reinterpret_cast<std::uintptr_t>(name.data()) ^ name.size();
  CachedClass* set = &classCache[(key * 0x9E3779B97F4A7C15ull) >> 58];
  const std::size_t n = name.size();
  if (n >= 8 && n <= 32)
    for (std::size_t i = 0; i < kCacheWays; ++i) {
      const CachedClass& c = set[i];
      if (c.where == name.data() && c.size == n && c.runtime == serial_ && sameMidSizedText(c.text, name.data(), n))
        return c.cls;
    }
  return lookUpClass(byName_, serial_, name, set);
}

Class* Runtime::newClassPair(Class* superclass, std::string_view name) {
  Class* superMeta = superclass ? superclass->metaclass() : nullptr;
  // A root metaclass inherits from the root class, so class objects answer instance methods of
  // the root (respondsToSelector: on a class works as on the device).
  auto meta = std::unique_ptr<Class>(new Class(*this, nullptr, std::string(name), superMeta, nullptr));
  auto cls = std::unique_ptr<Class>(new Class(*this, meta.get(), std::string(name), superclass, nullptr));
  meta->metaclassOf_ = cls.get();
  if (!superclass) meta->superclass_ = cls.get();
  // The nearest factory up the chain, settled once: a class's own factory is set as it is
  // defined, before any subclass exists, so what a class inherits never changes.
  if (superclass) cls->factory_ = superclass->factory_;
  Class* c = cls.get();
  Class* m = meta.get();
  classes_.push_back(std::move(meta));
  classes_.push_back(std::move(cls));
  if (superclass) {
    superclass->subclasses_.push_back(c);
    superMeta->subclasses_.push_back(m);
  } else {
    c->subclasses_.push_back(m);
  }
  return c;
}

Class* Runtime::allocateClassPair(Class* superclass, std::string_view name) {
  if (name.empty() || getClass(name)) return nullptr;
  if (superclass && !superclass->registered_) return nullptr;
  return newClassPair(superclass, name);
}

void Runtime::registerClassPair(Class* cls) {
  if (!cls || cls->registered_ || getClass(cls->name_)) return;
  publish(cls);
}

void Runtime::publish(Class* cls) {
  cls->registered_ = true;
  byName_.emplace(cls->name_, cls);
  // Only the class's own tables need building: a new class has no subclasses yet except its
  // metaclass chain, rebuilt with the superclass's subtree. A table that methods added before
  // registering built at the current size is up to date already.
  auto build = [](Class* c) {
    if (c->table_.size() != Sel::count() + 1) c->rebuildTables();
  };
  build(cls);
  build(cls->metaclass());
}

Class* Runtime::defineClass(std::string_view name, Class* superclass, Class::Factory factory) {
  // Not allocateClassPair: a host class may descend from one left undefined on purpose.
  if (name.empty() || getClass(name)) return nullptr;
  Class* cls = newClassPair(superclass, name);
  if (factory) cls->factory_ = factory;
  // The name was found free just now: registering needs no second look-up.
  if (!isLeftUndefined(name)) publish(cls);
  return cls;
}

void Runtime::leaveUndefined(std::vector<std::string> names) {
  undefined_.insert(undefined_.end(), std::make_move_iterator(names.begin()), std::make_move_iterator(names.end()));
}

bool Runtime::isLeftUndefined(std::string_view name) const {
  for (const std::string& n : undefined_)
    if (n == name) return true;
  return false;
}

std::vector<std::string> Runtime::classNames() const {
  std::vector<std::string> out;
  for (const auto& [name, cls] : byName_) out.push_back(name);
  return out;
}

// `c` and the subclasses that inherit from it now resolve `id` to `now`: only that entry changes
// (a world builds hundreds of classes and hooks, and rebuilding whole tables each time made
// building one quadratic). A table too short for the selector is built again whole, which also
// covers the selectors made since it was built.
void Runtime::refreshEntry(Class* c, std::uint32_t id, const Imp* now) {
  if (id >= c->table_.size()) return c->rebuildTables();
  c->table_[id] = now;
  for (Class* sub : c->subclasses_)
    if (!sub->methods_.contains(id)) refreshEntry(sub, id, now);
}

bool Runtime::addImp(Class* cls, Sel sel, Imp imp, std::string_view types) {
  if (!cls || !sel) return false;
  auto [it, added] = cls->methods_.try_emplace(sel.id(), Class::Method{imp, std::string(types)});
  if (!added) return false;
  refreshEntry(cls, sel.id(), &it->second.imp);
  return true;
}

std::string Runtime::methodTypes(Class* cls, Sel sel) const {
  for (Class* c = cls; c; c = c->superclass_) {
    auto it = c->methods_.find(sel.id());
    if (it != c->methods_.end()) return it->second.types;
  }
  return {};
}

bool Runtime::hookImp(Class* cls, Sel sel, Imp replacement, RawFn superForwarder, Imp* previous) {
  if (!cls || !sel) return false;
  auto own = cls->methods_.find(sel.id());
  if (own != cls->methods_.end()) {
    if (own->second.imp.sig != replacement.sig)
      throwMismatch(cls, sel, own->second.imp.sig, replacement.sig);
    *previous = own->second.imp;
    // Replaced in place: every table that reaches this method points at it already.
    own->second.imp = replacement;
    return true;
  }
  const Imp* inherited = cls->resolveSlow(sel);
  if (!inherited) return false;
  if (inherited->sig != replacement.sig) throwMismatch(cls, sel, inherited->sig, replacement.sig);
  *previous = Imp{superForwarder, cls->superclass_, replacement.sig};
  auto added = cls->methods_.emplace(sel.id(), Class::Method{replacement, methodTypes(cls->superclass_, sel)});
  refreshEntry(cls, sel.id(), &added.first->second.imp);
  return true;
}

}  // namespace qv::objc

// What the host's per-alert shortcuts must not change: classes looked up by name through the
// per-thread cache, instances made in recycled memory, system sounds kept in a short list.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>
#include <vector>

#include "platform/objc/instance_pool.h"
#include "platform/objc/runtime.h"
#include "sim/world.h"

namespace qv {
namespace {

using objc::Class;
using objc::Id;
using objc::Object;
using objc::Runtime;

TEST(ClassLookupByName, ManyNamesInTurnEachFindTheirOwnClassWhereverTheNameLives) {
  Runtime rt("test");
  std::vector<std::string> names;
  std::vector<Class*> classes;
  for (int i = 0; i < 200; ++i) {
    names.push_back("Cls" + std::to_string(i));
    classes.push_back(rt.defineClass(names.back(), rt.rootClass()));
  }
  // More names than the cache holds, each asked for twice in a row, from its own storage and
  // from one buffer that holds each name in turn (same address, other text).
  std::string buffer;
  for (int round = 0; round < 3; ++round)
    for (std::size_t i = 0; i < names.size(); ++i) {
      ASSERT_EQ(rt.getClass(names[i]), classes[i]) << names[i];
      ASSERT_EQ(rt.getClass(names[i]), classes[i]) << names[i];
      buffer = names[i];
      ASSERT_EQ(rt.getClass(buffer), classes[i]) << names[i];
    }
  buffer = "NoSuchClass";
  EXPECT_EQ(rt.getClass(buffer), nullptr);
}

TEST(ClassLookupByName, OneNameInTwoRuntimesFindsEachRuntimesOwnClass) {
  Runtime first("first"), second("second");
  Class* a = first.defineClass("SBBannerController", first.rootClass());
  Class* b = second.defineClass("SBBannerController", second.rootClass());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(first.getClass("SBBannerController"), a);
    EXPECT_EQ(second.getClass("SBBannerController"), b);
  }
  // A runtime made where an earlier one lived does not see the earlier one's classes.
  auto made = std::make_unique<Runtime>("gone");
  made->defineClass("Transient", made->rootClass());
  EXPECT_NE(made->getClass("Transient"), nullptr);
  made = std::make_unique<Runtime>("fresh");
  EXPECT_EQ(made->getClass("Transient"), nullptr);
}

struct Filled final : Object {
  using Object::Object;
  std::array<int, 8> numbers{};
  std::string text;
};
struct Large final : Object {
  using Object::Object;
  std::array<char, 2000> bytes{};
};

TEST(InstancesInRecycledMemory, AnInstanceMadeWhereAnotherDiedStartsFresh) {
  Runtime rt("test");
  Class* cls = rt.defineClass("Filled", rt.rootClass(), &objc::makeInstance<Filled>);
  for (int i = 0; i < 100; ++i) {
    Id made = cls->instantiate();
    auto* f = objc::as<Filled>(made);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->numbers, (std::array<int, 8>{})) << "instance " << i;
    EXPECT_EQ(f->text, "");
    EXPECT_EQ(made->isa(), cls);
    EXPECT_EQ(made->self(), made) << "shared_from_this works on pooled instances";
    f->numbers.fill(i + 1);
    f->text.assign(100, 'x');
  }
}

TEST(InstancesInRecycledMemory, InstancesDroppedOnAnotherThreadOrLargeOnesAreFreedCleanly) {
  // Run under AddressSanitizer, this catches a block freed twice or lost; the pool is off there,
  // so the plain run checks that blocks crossing threads are handed out again intact.
  Runtime rt("test");
  Class* small = rt.defineClass("Filled", rt.rootClass(), &objc::makeInstance<Filled>);
  Class* large = rt.defineClass("Large", rt.rootClass(), &objc::makeInstance<Large>);
  std::vector<Id> made;
  for (int i = 0; i < 200; ++i) made.push_back(i % 2 ? small->instantiate() : large->instantiate());
  std::thread([&] { made.clear(); }).join();
  std::thread([&] {
    for (int i = 0; i < 200; ++i) made.push_back(small->instantiate());
  }).join();
  for (const Id& o : made) {
    ASSERT_NE(objc::as<Filled>(o), nullptr);
    EXPECT_EQ(objc::as<Filled>(o)->text, "");
  }
  made.clear();
}

TEST(SystemSoundList, SoundsDisposedOutOfOrderLeaveTheOthersPlayable) {
  sim::World world;
  timeline::Recorder rec{world.timeline()};
  audio::SystemSounds& sounds = world.sounds();
  const std::string path = "/Library/Application Support/Quorvel/Sounds/Bell.caf";
  std::vector<std::uint32_t> ids;
  for (int i = 0; i < 4; ++i) {
    auto id = sounds.create(path);
    ASSERT_TRUE(id) << "the world's sound folder holds Bell.caf";
    ids.push_back(*id);
  }
  EXPECT_EQ(sounds.liveSounds(), 4u);
  sounds.dispose(ids[1]);
  sounds.dispose(ids[1]);  // a second dispose of one sound does nothing
  EXPECT_FALSE(sounds.play(ids[1], "SpringBoard"));
  for (std::uint32_t id : {ids[0], ids[2], ids[3]}) EXPECT_TRUE(sounds.play(id, "SpringBoard")) << id;
  EXPECT_EQ(rec.count(timeline::Kind::Sound, "Bell.caf"), 3u);
  sounds.dispose(ids[3]);
  sounds.dispose(ids[0]);
  EXPECT_EQ(sounds.liveSounds(), 1u);
  EXPECT_TRUE(sounds.play(ids[2], "SpringBoard"));
}

// A sound made from the file it was made from at the last alert looks at the root again only
// after a change through it: each replacement, removal and failing read is seen at once.
TEST(SystemSoundList, ASoundFileReplacedRemovedOrUnreadableIsSeenByTheNextSoundMadeAndPlayed) {
  sim::World world;
  timeline::Recorder rec{world.timeline()};
  audio::SystemSounds& sounds = world.sounds();
  fs::Root& root = world.root();
  const std::string folder = "/Library/Application Support/Quorvel/Sounds/";
  const std::string bell = folder + "Bell.caf";
  auto lengthPlayed = [&](std::uint32_t id) {
    rec.clear();
    EXPECT_TRUE(sounds.play(id, "SpringBoard"));
    return rec.events().empty() ? std::string() : rec.events().back().detail.str();
  };
  auto first = sounds.create(bell);
  auto second = sounds.create(bell);
  ASSERT_TRUE(first && second);
  const std::string bellLength = lengthPlayed(*first);
  auto triTone = sounds.create(folder + "Tri-tone.caf");
  ASSERT_TRUE(triTone);
  const std::string triToneLength = lengthPlayed(*triTone);
  ASSERT_NE(bellLength, triToneLength) << "two sounds of different lengths";

  auto triToneBytes = root.read(folder + "Tri-tone.caf");
  ASSERT_TRUE(triToneBytes);
  ASSERT_TRUE(root.writeAtomic(bell, *triToneBytes));
  auto replaced = sounds.create(bell);
  ASSERT_TRUE(replaced);
  EXPECT_EQ(lengthPlayed(*replaced), triToneLength);
  EXPECT_EQ(lengthPlayed(*second), bellLength) << "a sound keeps the file as it was when made";

  root.failReads = true;
  EXPECT_FALSE(sounds.create(bell));
  root.failReads = false;
  EXPECT_TRUE(sounds.create(bell));

  ASSERT_TRUE(root.remove(bell));
  EXPECT_FALSE(sounds.create(bell));
  EXPECT_FALSE(sounds.play(*second, "SpringBoard"));
}

}  // namespace
}  // namespace qv

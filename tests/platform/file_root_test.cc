// The world's file system: paths mapped under one folder, atomic writes, stamps, and the sole
// writer's memory of its files (a world in virtual time reads them from memory, a world whose
// files a tester may edit meanwhile asks the disk each time).
#include "platform/fs/root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/plist/io.h"
#include "platform/prefs/store.h"
#include "tests/scratch_folder.h"

namespace qv::fs {
namespace {

class FileRoot : public ::testing::Test {
 protected:
  // A tester's editor changing a file behind the root's back.
  void editOnDisk(const std::string& devicePath, const std::string& text) {
    std::ofstream(scratch.path() + "/private" + devicePath, std::ios::binary | std::ios::trunc) << text;
  }
  static Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
  static std::string onDisk(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  ScratchFolder scratch{"quorvel-root"};
};

TEST_F(FileRoot, ASoleWriterSeesEachOfItsOwnWritesAndRemovalsUnderEitherSpellingOfVar) {
  Root root(scratch.path());
  root.setSoleWriter(true);
  const std::string path = "/var/mobile/notes.txt";
  EXPECT_FALSE(root.exists(path));
  ASSERT_TRUE(root.writeAtomic(path, bytes("one")));
  EXPECT_EQ(*root.read(path), bytes("one"));
  EXPECT_EQ(*root.read("/private" + path), bytes("one"));
  const Stamp first = root.stamp(path);
  ASSERT_TRUE(root.writeAtomic("/private" + path, bytes("two")));  // the same size: the stamp still changes
  EXPECT_EQ(*root.read(path), bytes("two"));
  EXPECT_NE(root.stamp(path), first);
  ASSERT_TRUE(root.remove(path));
  EXPECT_FALSE(root.exists(path));
  EXPECT_FALSE(root.read(path));
}

TEST_F(FileRoot, TheSameUnchangedFileIsHandedOutWithoutACopy) {
  Root root(scratch.path());
  root.setSoleWriter(true);
  ASSERT_TRUE(root.writeAtomic("/var/a", bytes("sound")));
  auto first = root.readShared("/var/a");
  auto again = root.readShared("/var/a");
  EXPECT_EQ(first->get(), again->get());
  ASSERT_TRUE(root.writeAtomic("/var/a", bytes("other")));
  EXPECT_NE(root.readShared("/var/a")->get(), first->get());
  EXPECT_EQ(**first, bytes("sound")) << "bytes handed out earlier stay as they were";
}

// The contract that makes virtual time cheap, and why real-time play turns it off.
TEST_F(FileRoot, OnlyARootThatIsNotTheSoleWriterSeesEditsBehindItsBack) {
  Root sole(scratch.path()), shared(scratch.path());
  sole.setSoleWriter(true);
  ASSERT_TRUE(sole.writeAtomic("/var/a.txt", bytes("written")));
  editOnDisk("/var/a.txt", "edited");
  EXPECT_EQ(*sole.read("/var/a.txt"), bytes("written"));
  EXPECT_EQ(*shared.read("/var/a.txt"), bytes("edited"));
  sole.setSoleWriter(false);  // what it kept goes to disk now
  editOnDisk("/var/a.txt", "edited again");
  EXPECT_EQ(*sole.read("/var/a.txt"), bytes("edited again"));
}

// A sole writer keeps its writes in memory until someone may look at the disk.
TEST_F(FileRoot, ASoleWritersWritesReachTheDiskWhenARealPathIsAskedForTheModeEndsOrTheRootGoes) {
  const std::string file = scratch.path() + "/private/var/mobile/a.txt";
  {
    Root root(scratch.path());
    root.setSoleWriter(true);
    ASSERT_TRUE(root.writeAtomic("/var/mobile/a.txt", bytes("one")));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(std::filesystem::is_directory(scratch.path() + "/private/var/mobile")) << "folders are made at once";
    EXPECT_EQ(*root.read("/var/mobile/a.txt"), bytes("one"));
    EXPECT_TRUE(root.exists("/var/mobile/a.txt"));
    EXPECT_EQ(*root.hostPath("/var/mobile"), scratch.path() + "/private/var/mobile");
    EXPECT_EQ(onDisk(file), "one");
    ASSERT_TRUE(root.writeAtomic("/var/mobile/a.txt", bytes("two")));
    root.setSoleWriter(false);
    EXPECT_EQ(onDisk(file), "two");
    root.setSoleWriter(true);
    ASSERT_TRUE(root.writeAtomic("/var/mobile/a.txt", bytes("three")));
    ASSERT_TRUE(root.writeAtomic("/var/mobile/b.txt", bytes("four")));
    ASSERT_TRUE(root.remove("/var/mobile/b.txt"));
  }
  EXPECT_EQ(onDisk(file), "three") << "a root that goes writes out what it kept";
  EXPECT_FALSE(std::filesystem::exists(scratch.path() + "/private/var/mobile/b.txt"));
}

TEST_F(FileRoot, ASoleWriterForgetsItsKeptWritesOnlyWhenTold) {
  Root root(scratch.path());
  root.setSoleWriter(true);
  ASSERT_TRUE(root.writeAtomic("/var/a.txt", bytes("kept")));
  root.discardUnwritten();
  EXPECT_FALSE(root.exists("/var/a.txt"));
  ASSERT_TRUE(root.flush());
  EXPECT_FALSE(std::filesystem::exists(scratch.path() + "/private/var/a.txt"));
}

// Kept writes must not turn a write that fails on disk into a success.
TEST_F(FileRoot, ASoleWriterRefusesWritesTheDiskWouldRefuse) {
  Root root(scratch.path());
  root.setSoleWriter(true);
  std::filesystem::create_directories(scratch.path() + "/private/var/folder/inner");
  EXPECT_FALSE(root.writeAtomic("/var/folder", bytes("over a folder")));
  ASSERT_TRUE(root.writeAtomic("/var/file", bytes("kept")));
  EXPECT_FALSE(root.writeAtomic("/var/file/below", bytes("under a file")));
  EXPECT_EQ(*root.read("/var/file"), bytes("kept"));
  EXPECT_EQ(onDisk(scratch.path() + "/private/var/file"), "kept");
}

TEST_F(FileRoot, ThePreferencesStorePicksUpAnOutsideEditWhenTheRootIsNotTheSoleWriter) {
  Root root(scratch.path());
  prefs::Store store(root, "HOST");
  const pl::Value thirty(std::int64_t{30});
  ASSERT_TRUE(store.setValue("smsInt", &thirty, "com.example", prefs::User::Current, prefs::HostScope::Any));
  auto xml = pl::serialize(pl::Value(pl::Dict{{"smsInt", std::int64_t{90}}}), pl::Format::Xml);
  editOnDisk("/var/mobile/Library/Preferences/com.example.plist", std::string(xml->begin(), xml->end()));
  EXPECT_EQ(store.copyValue("smsInt", "com.example", prefs::User::Current, prefs::HostScope::Any),
            pl::Value(std::int64_t{90}));
}

// A sole writer's store skips the stamp while the root is unchanged; a write through the root
// by someone else (a settings pane's own file write) is still seen at the next read.
TEST_F(FileRoot, ThePreferencesStoreOfASoleWriterSeesAFileWrittenThroughTheRoot) {
  Root root(scratch.path());
  root.setSoleWriter(true);
  prefs::Store store(root, "HOST");
  const pl::Value thirty(std::int64_t{30});
  ASSERT_TRUE(store.setValue("smsInt", &thirty, "com.example", prefs::User::Current, prefs::HostScope::Any));
  EXPECT_EQ(store.copyValue("smsInt", "com.example", prefs::User::Current, prefs::HostScope::Any), thirty);
  auto xml = pl::serialize(pl::Value(pl::Dict{{"smsInt", std::int64_t{90}}}), pl::Format::Xml);
  ASSERT_TRUE(root.writeAtomic("/var/mobile/Library/Preferences/com.example.plist", *xml));
  EXPECT_EQ(store.copyValue("smsInt", "com.example", prefs::User::Current, prefs::HostScope::Any),
            pl::Value(std::int64_t{90}));
  ASSERT_TRUE(root.remove("/var/mobile/Library/Preferences/com.example.plist"));
  EXPECT_EQ(store.copyValue("smsInt", "com.example", prefs::User::Current, prefs::HostScope::Any), std::nullopt);
}

TEST_F(FileRoot, ChangesNameEveryPathWrittenOrRemovedUntilForgotten) {
  Root root(scratch.path());
  ASSERT_TRUE(root.writeAtomic("/var/a", bytes("a")));
  ASSERT_TRUE(root.remove("/Library/b"));
  EXPECT_EQ(root.changes(), (std::set<std::string>{scratch.path() + "/Library/b", scratch.path() + "/private/var/a"}));
  root.forgetChanges();
  EXPECT_TRUE(root.changes().empty());
}

}  // namespace
}  // namespace qv::fs

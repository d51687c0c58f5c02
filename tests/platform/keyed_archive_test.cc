#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "platform/plist/io.h"
#include "platform/plist/keyed_archive.h"
#include "tests/platform/plist_test_support.h"

namespace qv {
namespace {

using testing::Bytes;

pl::Dict richUserInfo() {
  return pl::Dict{
      {"kind", "sms"},
      {"count", 3},
      {"big", pl::Value::unsignedInteger(UINT64_MAX)},
      {"ratio", 0.25},
      {"flag", true},
      {"when", pl::Date{502342387.594123}},
      {"blob", pl::Data{0, 0xFF, 0x10}},
      {"empty", pl::Dict{}},
      {"names", pl::Array{"Zoë", "中文", "", "$null", pl::Array{}}},
      {"nested", pl::Dict{{"deeper", pl::Dict{{"list", pl::Array{1, 2.5, false, pl::Dict{{"x", "y"}}}}}}}},
  };
}

Bytes archiveOf(const pl::Value& objects, const pl::Value& top = pl::Dict{{"root", pl::Uid{1}}}) {
  auto bytes = pl::serialize(pl::Dict{{"$archiver", "NSKeyedArchiver"}, {"$version", 100000}, {"$top", top},
                                      {"$objects", objects}},
                             pl::Format::Binary);
  EXPECT_TRUE(bytes) << bytes.error();
  return bytes ? *bytes : Bytes{};
}

pl::Value classEntry(std::initializer_list<const char*> chain) {
  pl::Array classes;
  for (const char* c : chain) classes.push_back(c);
  return pl::Dict{{"$classname", *chain.begin()}, {"$classes", classes}};
}

// ---- remembered archives and reads ----

// The last few archives and reads are remembered; payloads that compare equal as values but are
// written differently must never be handed each other's bytes.
TEST(RememberedArchives, PayloadsEqualAsValuesButWrittenDifferentlyKeepTheirOwnBytes) {
  const pl::Dict plus{{"k", 0.0}}, minus{{"k", -0.0}};
  const Bytes first = pl::archiveLocalNotification(plus);
  const Bytes second = pl::archiveLocalNotification(minus);
  EXPECT_NE(first, second);
  EXPECT_EQ(pl::archiveLocalNotification(plus), first);
  auto back = pl::localNotificationUserInfo(second);
  ASSERT_TRUE(back);
  EXPECT_TRUE(std::signbit(*back->at("k").ifReal()));
  pl::LocalNotificationFields fields;
  fields.alertBody = "hi";
  EXPECT_NE(pl::archiveLocalNotification(plus, fields), first);
}

TEST(RememberedArchives, ReadsAfterManyOthersStillGiveEachArchiveItsOwnUserInfo) {
  std::vector<Bytes> archives;
  // More than either remembers, so both forget and work again.
  for (int i = 0; i < 100; ++i) archives.push_back(pl::archiveLocalNotification(pl::Dict{{"n", i}}));
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 100; ++i) {
      auto info = pl::localNotificationUserInfo(archives[i]);
      ASSERT_TRUE(info);
      EXPECT_EQ(*info, (pl::Dict{{"n", i}}));
      EXPECT_EQ(pl::archiveLocalNotification(pl::Dict{{"n", i}}), archives[i]);
    }
  EXPECT_FALSE(pl::localNotificationUserInfo(Bytes(archives[3].begin(), archives[3].end() - 1)));
}

// ---- our own archives ----

TEST(KeyedArchiveRoundTrip, PlainValuesComeBackEqualAndUnarchivableOnesGiveNoBytes) {
  for (const pl::Value& v : {pl::Value(richUserInfo()), pl::Value("just text"), pl::Value(pl::Array{}),
                             pl::Value(pl::Array{pl::Value(), 1, pl::Dict{}}), pl::Value(pl::Date{-4.75}),
                             pl::Value(pl::Data{})}) {
    auto back = pl::unarchive(pl::archive(v));
    ASSERT_TRUE(back) << v.describe() << ": " << back.error();
    EXPECT_EQ(*back, v);
  }
  EXPECT_TRUE(pl::archive(pl::Value(std::string("nul\0", 4))).empty());
  EXPECT_TRUE(pl::archive(pl::Dict{{"bad", "\xFF"}}).empty());
}

TEST(KeyedArchiveRoundTrip, ArchiveIsLaidOutAsTheDeviceDoes) {
  auto plist = pl::parse(pl::archive(pl::Dict{{"a", "a"}}));
  ASSERT_TRUE(plist) << plist.error();
  EXPECT_EQ(*pl::findString(&*plist, "$archiver"), "NSKeyedArchiver");
  const pl::Array& objects = *pl::findArray(*plist->ifDict(), "$objects");
  EXPECT_EQ(objects[0], pl::Value("$null"));
  // The key and the value "a" share one string object.
  const pl::Dict& dict = *objects[1].ifDict();
  EXPECT_EQ(*pl::findArray(dict, "NS.keys"), *pl::findArray(dict, "NS.objects"));
  EXPECT_NE(dict.find("$class"), dict.end());
}

TEST(LocalNotificationArchive, UserInfoSurvivesTheRoundTrip) {
  for (const pl::Dict& userInfo : {richUserInfo(), pl::Dict{}, pl::Dict{{"only", "one"}}}) {
    auto back = pl::localNotificationUserInfo(pl::archiveLocalNotification(userInfo));
    ASSERT_TRUE(back.has_value()) << pl::Value(userInfo).describe();
    EXPECT_EQ(pl::Value(*back), pl::Value(userInfo));
  }
}

TEST(LocalNotificationArchive, NotificationFieldsAreWrittenUnderTheirDeviceKeys) {
  pl::LocalNotificationFields fields;
  fields.alertBody = "Missed call from Ann";
  fields.fireDate = pl::Date{502342387.5};
  fields.timeZoneName = "Europe/Paris";
  fields.applicationIconBadgeNumber = 2;
  auto root = pl::unarchive(pl::archiveLocalNotification(pl::Dict{{"k", 1}}, fields));
  ASSERT_TRUE(root) << root.error();
  EXPECT_EQ(*pl::findString(&*root, "$classname"), "UIConcreteLocalNotification");
  EXPECT_EQ(*pl::findString(&*root, "_UILocalNotificationAlertBody"), "Missed call from Ann");
  EXPECT_EQ(*root->find("_UILocalNotificationFireDate"), pl::Value(pl::Date{502342387.5}));
  EXPECT_EQ(*pl::findString(root->find("_UILocalNotificationTimeZone"), "NS.name"), "Europe/Paris");
  EXPECT_EQ(root->find("_UILocalNotificationApplicationIconBadgeNumber")->numberAsInteger(), 2);
  EXPECT_EQ(root->find("_UILocalNotificationTotalRepeatCount")->numberAsInteger(), INT32_MIN);
  EXPECT_TRUE(root->find("_UILocalNotificationSoundName")->isNull());
  const pl::Value* userInfoData = root->find("_UILocalNotificationUserInfoData");
  ASSERT_NE(userInfoData, nullptr);
  ASSERT_NE(userInfoData->ifData(), nullptr) << "userInfo travels as data holding a nested archive";
  EXPECT_EQ(*pl::unarchive(*userInfoData->ifData()), pl::Value(pl::Dict{{"k", 1}}));
}

// Each archive below has a UIConcreteLocalNotification at 1 and its class at 2.
pl::Array notificationObjects(const pl::Value& userInfoField, const char* key = "_UILocalNotificationUserInfoData") {
  return pl::Array{"$null", pl::Dict{{"$class", pl::Uid{2}}, {key, userInfoField}},
                   classEntry({"UIConcreteLocalNotification", "UILocalNotification", "NSObject"})};
}

TEST(LocalNotificationArchive, UserInfoIsFoundInEveryFormTheDeviceUses) {
  const pl::Dict expected = {{"id", "42"}};
  // Data holding a plain binary property list rather than a nested archive.
  pl::Array plainData = notificationObjects(pl::Uid{3});
  plainData.push_back(pl::Dict{{"$class", pl::Uid{4}}, {"NS.data", *pl::serialize(expected, pl::Format::Binary)}});
  plainData.push_back(classEntry({"NSMutableData", "NSData", "NSObject"}));
  EXPECT_EQ(pl::localNotificationUserInfo(archiveOf(plainData)), expected);
  // Data holding an XML property list, stored bare in the object table.
  pl::Array xmlData = notificationObjects(pl::Uid{3});
  xmlData.push_back(*pl::serialize(expected, pl::Format::Xml));
  EXPECT_EQ(pl::localNotificationUserInfo(archiveOf(xmlData)), expected);
  // An inline NSDictionary object, under the plain "userInfo" key.
  pl::Array inlineDict = notificationObjects(pl::Uid{3}, "userInfo");
  inlineDict.push_back(pl::Dict{{"$class", pl::Uid{6}}, {"NS.keys", pl::Array{pl::Uid{4}}}, {"NS.objects", pl::Array{pl::Uid{5}}}});
  inlineDict.push_back("id");
  inlineDict.push_back("42");
  inlineDict.push_back(classEntry({"NSDictionary", "NSObject"}));
  EXPECT_EQ(pl::localNotificationUserInfo(archiveOf(inlineDict)), expected);
}

TEST(LocalNotificationArchive, AnythingButANotificationWithADictionaryGivesNothing) {
  EXPECT_EQ(pl::localNotificationUserInfo(pl::archive(richUserInfo())), std::nullopt) << "not a notification";
  EXPECT_EQ(pl::localNotificationUserInfo(archiveOf(notificationObjects(pl::Uid{0}))), std::nullopt) << "nil userInfo";
  EXPECT_EQ(pl::localNotificationUserInfo(archiveOf(notificationObjects(pl::Uid{9}))), std::nullopt) << "bad reference";
  EXPECT_EQ(pl::localNotificationUserInfo(archiveOf(notificationObjects(pl::Data{1, 2, 3}))), std::nullopt) << "junk data";
  pl::Array arrayInData = notificationObjects(pl::Uid{3});
  arrayInData.push_back(pl::archive(pl::Array{1}));
  EXPECT_EQ(pl::localNotificationUserInfo(archiveOf(arrayInData)), std::nullopt) << "an archived array";
  EXPECT_EQ(pl::localNotificationUserInfo(*pl::serialize(pl::Dict{{"a", 1}}, pl::Format::Binary)), std::nullopt);
  EXPECT_EQ(pl::localNotificationUserInfo({}), std::nullopt);
}

// ---- hostile archives ----
// Crash safety on such shapes is the fuzzer's job (fuzz/corpus/keyed_archive/); these tests pin
// what the decoder says about them and where its limits lie.

class HostileKeyedArchive : public ::testing::Test {
 protected:
  static void expectRejected(const Bytes& bytes, const std::string& wordInMessage, const std::string& what = "") {
    auto v = pl::unarchive(bytes);
    ASSERT_FALSE(v) << what << " decoded as " << v->describe();
    EXPECT_NE(v.error().find(wordInMessage), std::string::npos) << what << ": " << v.error();
  }
};

// The root at 1 of this class (at 2) with these fields, then the `more` objects from 3 on.
Bytes oneObject(const char* className, pl::Dict fields, std::initializer_list<pl::Value> more = {}) {
  fields.emplace("$class", pl::Uid{2});
  pl::Array objects = {"$null", std::move(fields), classEntry({className, "NSObject"})};
  objects.insert(objects.end(), more);
  return archiveOf(objects);
}

TEST_F(HostileKeyedArchive, RefusalsSayWhatWasWrong) {
  const struct {
    const char* what;
    Bytes bytes;
    const char* words;
  } rows[] = {
      {"an array holding itself", oneObject("NSArray", {{"NS.objects", pl::Array{pl::Uid{1}}}}), "itself"},
      {"a reference beyond the objects", oneObject("NSArray", {{"NS.objects", pl::Array{pl::Uid{7}}}}), "beyond"},
      {"no object table", *pl::serialize(pl::Dict{{"$top", pl::Dict{{"root", pl::Uid{1}}}}}, pl::Format::Binary),
       "$objects"},
      {"an array stored bare", archiveOf(pl::Array{"$null", pl::Array{}}), "array"},
      {"an object without a class", archiveOf(pl::Array{"$null", pl::Dict{{"NS.objects", pl::Array{}}}}), "$class"},
      {"a class that is $null", archiveOf(pl::Array{"$null", pl::Dict{{"$class", pl::Uid{0}}}}), "class"},
      {"a root that is no reference", archiveOf(pl::Array{"$null", "x"}, pl::Dict{{"root", "not a reference"}}),
       "reference"},
      {"keys and values of unequal length",
       oneObject("NSDictionary", {{"NS.keys", pl::Array{pl::Uid{3}}}, {"NS.objects", pl::Array{}}}, {"k"}), "length"},
      {"a number as a key",
       oneObject("NSDictionary", {{"NS.keys", pl::Array{pl::Uid{3}}}, {"NS.objects", pl::Array{pl::Uid{3}}}}, {7}),
       "key"},
  };
  for (const auto& row : rows) expectRejected(row.bytes, row.words, row.what);

  pl::LocalNotificationFields fields;
  fields.alertBody = "hi";
  const Bytes whole = pl::archiveLocalNotification(richUserInfo(), fields);
  for (std::size_t n = 0; n < whole.size(); ++n) {
    const Bytes prefix(whole.begin(), whole.begin() + n);
    EXPECT_EQ(pl::localNotificationUserInfo(prefix), std::nullopt) << n;
    EXPECT_FALSE(pl::unarchive(prefix)) << n;
  }
}

pl::Array chainOfArrays(std::size_t levels, std::size_t copies) {
  pl::Array objects = {"$null", classEntry({"NSArray", "NSObject"})};
  for (std::size_t i = 0; i < levels; ++i) {
    const pl::Uid next{objects.size() + 1};
    objects.push_back(pl::Dict{{"$class", pl::Uid{1}}, {"NS.objects", pl::Array(copies, pl::Value(next))}});
  }
  objects.push_back(pl::Dict{{"$class", pl::Uid{1}}, {"NS.objects", pl::Array{}}});
  return objects;
}

TEST_F(HostileKeyedArchive, DeepNestingAndExponentialSharingAreRefused) {
  const Bytes deep = archiveOf(chainOfArrays(600, 1), pl::Dict{{"root", pl::Uid{2}}});
  expectRejected(deep, "deeper");
  pl::ReadLimits generous;
  generous.maxDepth = 1000;
  EXPECT_TRUE(pl::unarchive(deep, generous));
  const auto start = std::chrono::steady_clock::now();
  expectRejected(archiveOf(chainOfArrays(64, 2), pl::Dict{{"root", pl::Uid{2}}}), "expanded");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// Guards the recursion of the decoder: the deepest nesting any caller can ask for must fit
// on the stack, under sanitizers too.
TEST_F(HostileKeyedArchive, DeepestPermittedNestingDecodesWithoutOverflow) {
  pl::ReadLimits widest;
  widest.maxDepth = pl::kDepthCeiling * 4;
  EXPECT_TRUE(pl::unarchive(archiveOf(chainOfArrays(pl::kDepthCeiling - 2, 1), pl::Dict{{"root", pl::Uid{2}}}), widest));
  EXPECT_FALSE(pl::unarchive(archiveOf(chainOfArrays(pl::kDepthCeiling + 2, 1), pl::Dict{{"root", pl::Uid{2}}}), widest));
  pl::Value deep = pl::Array{};
  for (std::size_t i = 1; i < pl::kDepthCeiling; ++i) deep = pl::Array{deep};
  const Bytes archived = pl::archive(deep);
  ASSERT_FALSE(archived.empty());
  EXPECT_TRUE(pl::unarchive(archived, widest));
  const pl::Value tooDeep = pl::Array{pl::Value(pl::Array{deep})};  // explicit: Array{Array} would copy
  EXPECT_TRUE(pl::archive(tooDeep).empty());
}

// ---- real archives ----

class DeviceKeyedArchives : public ::testing::Test {
 protected:
  void SetUp() override {
    QV_REQUIRE_DEVICE_FILES();
  }
  static Bytes bytes(const std::string& name) { return fileBytes(testing::deviceFiles() / "keyed-archives" / name); }
  static pl::Value root(const std::string& name) {
    auto v = pl::unarchive(bytes(name));
    EXPECT_TRUE(v) << name << ": " << v.error();
    return v ? *v : pl::Value();
  }
};

TEST_F(DeviceKeyedArchives, RealLocalNotificationsHaveNoUserInfoButDecodeAloneAndInThePushStore) {
  EXPECT_EQ(pl::localNotificationUserInfo(bytes("ios-uilocalnotification.bplist")), std::nullopt);
  const pl::Value n = root("ios-uilocalnotification.bplist");
  EXPECT_EQ(*pl::findString(&n, "$classname"), "UIConcreteLocalNotification");
  EXPECT_TRUE(n.find("_UILocalNotificationUserInfoData")->isNull());
  EXPECT_EQ(n.find("_UILocalNotificationRemainingRepeatCount")->numberAsInteger(), INT32_MIN);
  EXPECT_NE(n.find("_UILocalNotificationFireDate")->ifDate(), nullptr);
  EXPECT_NE(pl::findString(&n, "_UILocalNotificationAlertBody"), nullptr);
  EXPECT_EQ(*pl::findString(n.find("_UILocalNotificationTimeZone"), "NS.name"), "America/Los_Angeles");
  // The push store holds six such notifications, the first of them this one.
  const pl::Value store = root("ios-pushstore-local-notifications.bplist");
  ASSERT_NE(store.ifArray(), nullptr);
  ASSERT_EQ(store.ifArray()->size(), 6u);
  for (const pl::Value& entry : *store.ifArray()) {
    ASSERT_NE(entry.ifDict(), nullptr);
    EXPECT_EQ(entry.ifDict()->size(), 4u);
    EXPECT_EQ(*pl::findString(&entry, "AppNotificationType"), "AppNotificationLocal");
    EXPECT_NE(entry.find("AppNotificationCreationDate")->ifDate(), nullptr);
    EXPECT_NE(pl::findString(&entry, "AppNotificationMessage"), nullptr);
    const pl::Data* details = pl::findData(*entry.ifDict(), "AppNotificationDetails");
    ASSERT_NE(details, nullptr);
    auto notification = pl::unarchive(*details);
    ASSERT_TRUE(notification) << notification.error();
    EXPECT_EQ(*pl::findString(&*notification, "$classname"), "UIConcreteLocalNotification");
    EXPECT_EQ(pl::localNotificationUserInfo(*details), std::nullopt);
  }
  EXPECT_EQ(*pl::findData(*store.ifArray()->front().ifDict(), "AppNotificationDetails"), bytes("ios-uilocalnotification.bplist"));
}

TEST_F(DeviceKeyedArchives, FoundationArchivesDecodeEveryMemberFromBinaryAndXml) {
  const pl::Value d = root("nsdictionary-nested-complex.bplist");
  ASSERT_NE(d.ifDict(), nullptr);
  EXPECT_EQ(d.ifDict()->size(), 4u);
  const pl::Array& array = *d.find("array")->ifArray();
  ASSERT_EQ(array.size(), 4u);
  EXPECT_EQ(array[0], pl::Value(pl::Dict{{"$classname", "NSNull"}}));
  EXPECT_EQ(array[1], pl::Value("hello"));
  EXPECT_EQ(array[2].numberAsInteger(), 34545);
  EXPECT_EQ(array[3], pl::Value(pl::Dict{{"key", "val"}}));
  EXPECT_EQ(*d.find("string"), pl::Value("hello"));
  const pl::Value* url = d.find("url");
  EXPECT_EQ(*pl::findString(url, "$classname"), "NSURL");
  EXPECT_EQ(*pl::findString(url, "NS.relative"), "index.xml");
  EXPECT_EQ(*pl::findString(url->find("NS.base"), "NS.relative"), "https://www.swift.org");
  EXPECT_TRUE(url->find("NS.base")->find("NS.base")->isNull());
  EXPECT_EQ(*pl::findString(d.find("uuid"), "$classname"), "NSUUID");
  EXPECT_EQ(d.find("uuid")->find("NS.uuidbytes")->ifData()->size(), 16u);
  const pl::Value expected = pl::Dict{{"int", 1}, {"string", "string"}, {"array", pl::Array{true, "Hello, World!", 42}}};
  EXPECT_EQ(root("nsdictionary-int-string-array.bplist"), expected);
  EXPECT_EQ(root("nsdictionary-int-string-array.xml"), expected);
  const pl::Value n = root("nsnotification-userinfo.xml");
  EXPECT_EQ(*pl::findString(&n, "$classname"), "NSNotification");
  EXPECT_EQ(*pl::findString(&n, "NS.name"), "notification-name");
  EXPECT_EQ(*n.find("NS.userinfo"), pl::Value(pl::Dict{{"notification-key", "notification-val"}}));
  const pl::Value sets = root("nsarray-nested-sets.bplist");
  ASSERT_NE(sets.ifArray(), nullptr);
  EXPECT_EQ(sets.ifArray()->size(), 2u);
  EXPECT_NE(root("multi-top-primitives.bplist").type(), pl::Value::Type::Null);
  const pl::Value formatter = root("nsdateintervalformatter-date-timezone.bplist");
  EXPECT_EQ(*pl::findString(&formatter, "$classname"), "NSDateIntervalFormatter");
  const pl::Value text = root("nsmutableattributedstring.bplist");
  EXPECT_EQ(*text.find("NSString"), pl::Value("0123456789"));
  EXPECT_EQ(text.find("NSAttributes")->ifArray()->size(), 4u);
  EXPECT_EQ(text.find("NSAttributes")->ifArray()->front(), pl::Value(pl::Dict{}));
}

TEST_F(DeviceKeyedArchives, MalformedFilesAreErrorsForTheArchiveReaderToo) {
  for (const auto& entry : std::filesystem::directory_iterator(testing::deviceFiles() / "malformed")) {
    const Bytes b = fileBytes(entry.path());
    EXPECT_FALSE(pl::unarchive(b)) << entry.path();
    EXPECT_EQ(pl::localNotificationUserInfo(b), std::nullopt) << entry.path();
  }
}

}  // namespace
}  // namespace qv

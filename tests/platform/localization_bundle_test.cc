// Choosing a localisation table by preferred languages, and opening bundles from disk.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/l10n/localization_bundle.h"
#include "tests/scratch_folder.h"

namespace qv::l10n {
namespace {

namespace fs = std::filesystem;

class LocalizationLookup : public ::testing::Test {
 protected:
  void table(const std::string& folder, const std::string& text) {
    fs::create_directories(root_ / folder);
    std::ofstream(root_ / folder / "Localizable.strings", std::ios::binary) << text;
  }
  LocalizationBundle open() {
    auto bundle = LocalizationBundle::open(root_.string());
    EXPECT_TRUE(bundle.ok()) << (bundle.ok() ? "" : bundle.error());
    return bundle.ok() ? *bundle : LocalizationBundle();
  }

  ScratchFolder scratch{"qv-l10n"};
  fs::path root_{scratch.path()};
};

TEST_F(LocalizationLookup, PreferredLanguageThenItsShorterForms) {
  table("de.lproj", "\"Missed Call!\" = \"Verpasster Anruf!\";");
  table("pt_BR.lproj", "\"Missed Call!\" = \"Chamada perdida!\";");
  table("en.lproj", "\"Missed Call!\" = \"Missed Call!\";");
  LocalizationBundle bundle = open();
  EXPECT_EQ(bundle.localizedString("Missed Call!", "Missed Call!", {"de-CH"}), "Verpasster Anruf!");
  EXPECT_EQ(bundle.languageFor({"pt-BR"}), "pt_BR");
  EXPECT_EQ(bundle.languageFor({"sv", "pt-PT", "de"}), "de");
  EXPECT_EQ(bundle.languageFor({"sv"}), "en");
  EXPECT_EQ(bundle.languageFor({}), "en");
}

TEST_F(LocalizationLookup, FallbackOrderIsEnThenEnglishThenBase) {
  table("Base.lproj", "k = base;");
  EXPECT_EQ(open().localizedString("k", "v", {"fr"}), "base");
  table("English.lproj", "k = english;");
  EXPECT_EQ(open().localizedString("k", "v", {"fr"}), "english");
  table("en.lproj", "k = en;");
  EXPECT_EQ(open().localizedString("k", "v", {"fr"}), "en");
  table("German.lproj", "k = deutsch;");
  EXPECT_EQ(open().localizedString("k", "v", {"de-AT"}), "deutsch");
}

// Tables are parsed once and shared while their file is unchanged; a change on disk, made in
// place with the same size or by a new file put over it, is read again at the next open.
TEST_F(LocalizationLookup, ATableChangedOnDiskIsReadAgainAtTheNextOpen) {
  table("en.lproj", "k = one;");
  EXPECT_EQ(open().localizedString("k", "v", {"en"}), "one");
  EXPECT_EQ(open().localizedString("k", "v", {"en"}), "one");
  const fs::path file = root_ / "en.lproj" / "Localizable.strings";
  std::fstream(file, std::ios::in | std::ios::out | std::ios::binary) << "k = two;";  // same size, in place
  fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(1));
  EXPECT_EQ(open().localizedString("k", "v", {"en"}), "two");
  table("en.lproj", "k = three, broken");
  EXPECT_FALSE(LocalizationBundle::open(root_.string()).ok());
  const fs::path fresh = root_ / "fresh.strings";
  std::ofstream(fresh, std::ios::binary) << "k = four;";
  fs::rename(fresh, file);
  EXPECT_EQ(open().localizedString("k", "v", {"en"}), "four");
}

TEST_F(LocalizationLookup, KeyMissingFromTheChosenTableGivesTheCallersText) {
  table("de.lproj", "\"Missed Call!\" = \"Verpasster Anruf!\";");
  table("fr.lproj", "\"Missed Mail!\" = \"E-mail non lu !\";");
  LocalizationBundle bundle = open();
  EXPECT_EQ(bundle.localizedString("Missed Mail!", "Missed Mail!", {"de", "fr"}), "Missed Mail!");
  EXPECT_EQ(bundle.localizedString("Missed Mail!", "", {"de"}), "Missed Mail!");
  EXPECT_EQ(LocalizationBundle().localizedString("Missed", "Missed ", {"de"}), "Missed ");
}

TEST_F(LocalizationLookup, FoldersWithoutATableAreNotLanguages) {
  fs::create_directories(root_ / "fr.lproj");
  fs::create_directories(root_ / "notes");
  table("de.lproj", "k = de;");
  LocalizationBundle bundle = open();
  EXPECT_EQ(bundle.languageFor({"fr", "de"}), "de");
  EXPECT_EQ(bundle.languages(), std::vector<std::string>{"de"});
}

TEST_F(LocalizationLookup, OpenNamesTheFileAndLineThatWentWrong) {
  EXPECT_FALSE(LocalizationBundle::open((root_ / "absent").string()).ok());
  table("de.lproj", "a = b;\nc = d\n");
  auto bundle = LocalizationBundle::open(root_.string());
  ASSERT_FALSE(bundle.ok());
  EXPECT_NE(bundle.error().find("de.lproj/Localizable.strings: line 2"), std::string::npos)
      << bundle.error();
}

TEST_F(LocalizationLookup, PropertyListTablesGoToTheCallersReader) {
  table("de.lproj", "<?xml version=\"1.0\"?><plist><dict/></plist>");
  auto withoutReader = LocalizationBundle::open(root_.string());
  ASSERT_FALSE(withoutReader.ok());
  EXPECT_NE(withoutReader.error().find(kPropertyListStringsMessage), std::string::npos);

  auto reader = [](std::span<const std::uint8_t>) -> Result<StringsTable> {
    return StringsTable{{"k", "aus der Eigenschaftsliste"}};
  };
  auto withReader = LocalizationBundle::open(root_.string(), reader);
  ASSERT_TRUE(withReader.ok()) << withReader.error();
  EXPECT_EQ(withReader->localizedString("k", "v", {"de"}), "aus der Eigenschaftsliste");
}

}  // namespace
}  // namespace qv::l10n

// The package's own files: every sound and every localisation reads with the host's readers.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/audio/caf.h"
#include "platform/l10n/localization_bundle.h"
#include "tests/scratch_folder.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

const fs::path kPackage = fs::path(QV_SOURCE_DIR) / "package";

TEST(PackageFiles, EverySoundReadsWithAPlausibleDistinctLength) {
  std::set<double> durations;
  int count = 0;
  for (const auto& entry : fs::directory_iterator(kPackage / "Sounds")) {
    std::string path = entry.path().string();
    auto info = audio::readSoundFile(path);
    ASSERT_TRUE(info.ok()) << info.error();
    EXPECT_GE(info->durationSeconds, 0.4) << path;
    EXPECT_LE(info->durationSeconds, 2.0) << path;
    EXPECT_LT(fs::file_size(entry.path()), 90'000u) << path;
    durations.insert(info->durationSeconds);
    ++count;
  }
  EXPECT_GE(count, 5);
  EXPECT_EQ(durations.size(), static_cast<std::size_t>(count)) << "two sounds share a length";
  EXPECT_TRUE(fs::exists(kPackage / "Sounds" / "SMS 3.caf")) << "the default reminder sound";
}

TEST(PackageFiles, EveryLanguageTranslatesAllReminderTexts) {
  auto bundle = l10n::LocalizationBundle::open((kPackage / "Localizations").string());
  ASSERT_TRUE(bundle.ok()) << bundle.error();
  for (const char* required : {"en", "de", "fr", "es", "it"}) {
    EXPECT_EQ(bundle->languageFor({required}), required);
  }
  const char* const kKeys[] = {"Missed Call!", "Missed Message!", "Missed Mail!", "Missed"};
  for (const std::string& language : bundle->languages()) {
    for (const char* key : kKeys) {
      EXPECT_NE(bundle->localizedString(key, "<absent>", {language}), "<absent>")
          << language << " lacks \"" << key << "\"";
    }
  }
  EXPECT_EQ(bundle->localizedString("Missed", "", {"en"}), "Missed ");
  EXPECT_EQ(bundle->localizedString("Missed Call!", "", {"de-CH"}), "Verpasster Anruf!");
}

TEST(PackageFiles, FilterNamesEveryProcessTheLibraryLoadsInto) {
  const std::string text = fileText(kPackage / "Filter.plist");
  for (const char* bundle :
       {"com.apple.springboard", "com.apple.mobilephone", "com.apple.mobilemail",
        "com.apple.MobileSMS", "net.whatsapp.WhatsApp", "com.facebook.Messenger",
        "ph.telegra.Telegraph", "ch.threema.iapp", "com.viber"}) {
    EXPECT_NE(text.find("<string>" + std::string(bundle) + "</string>"), std::string::npos) << bundle;
  }
}

}  // namespace
}  // namespace qv

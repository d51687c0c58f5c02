// Old-style strings files: entries, escapes, encodings, and errors that point at the line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/l10n/strings_file.h"

namespace qv::l10n {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes utf8(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

// UTF-16 of ASCII-and-BMP-only test text, with an optional byte-order mark.
Bytes utf16(std::u16string_view text, bool bigEndian, bool mark = true) {
  Bytes out;
  auto put = [&](char16_t unit) {
    std::uint8_t high = static_cast<std::uint8_t>(unit >> 8), low = static_cast<std::uint8_t>(unit);
    out.push_back(bigEndian ? high : low);
    out.push_back(bigEndian ? low : high);
  };
  if (mark) put(0xFEFF);
  for (char16_t unit : text) put(unit);
  return out;
}

StringsTable parsed(const Bytes& bytes) {
  auto table = parseStringsFile(bytes);
  EXPECT_TRUE(table.ok()) << (table.ok() ? "" : table.error());
  return table.ok() ? *table : StringsTable{};
}

void expectErrorOnLine(const Bytes& bytes, int line, const std::string& words) {
  auto table = parseStringsFile(bytes);
  ASSERT_FALSE(table.ok()) << "expected: " << words;
  EXPECT_NE(table.error().find("line " + std::to_string(line) + ":"), std::string::npos)
      << table.error();
  EXPECT_NE(table.error().find(words), std::string::npos) << table.error();
}

TEST(StringsFileText, ReadsQuotedAndPlainEntriesBetweenComments) {
  StringsTable table = parsed(utf8(R"(/* Reminder titles */
"Missed Call!" = "Verpasster Anruf!";   // shown on the banner
Missed_Mail.title = "E-Mail";
"Missed" = "Verpasst in ";
"Only a key";
path/to:thing-$1 = plain.value;
/* a comment with "quotes" and ; inside */ 'single' = 'quoted';
)"));
  EXPECT_EQ(table, (StringsTable{{"Missed Call!", "Verpasster Anruf!"},
                                 {"Missed_Mail.title", "E-Mail"},
                                 {"Missed", "Verpasst in "},
                                 {"Only a key", "Only a key"},
                                 {"path/to:thing-$1", "plain.value"},
                                 {"single", "quoted"}}));
}

TEST(StringsFileText, EscapesStandForTheirCharacters) {
  StringsTable table = parsed(utf8(
      R"("k" = "quote \" backslash \\ nl \n tab \t cr \r e \U00e9 euro \u20AC smile \UD83D\UDE00 octal \101 other \q";)"));
  EXPECT_EQ(table["k"],
            "quote \" backslash \\ nl \n tab \t cr \r e \xC3\xA9 euro \xE2\x82\xAC smile "
            "\xF0\x9F\x98\x80 octal A other q");
}

TEST(StringsFileText, AllEncodingsGiveTheSameTable) {
  // "Ü" and a character outside the basic plane, which UTF-16 writes as a surrogate pair.
  const std::u16string text = u"\"Anruf\" = \"\u00DC \U0001F4DE\";\n";
  const StringsTable expected{{"Anruf", "\xC3\x9C \xF0\x9F\x93\x9E"}};
  EXPECT_EQ(parsed(utf8("\"Anruf\" = \"\xC3\x9C \xF0\x9F\x93\x9E\";\n")), expected);
  EXPECT_EQ(parsed(utf8("\xEF\xBB\xBF\"Anruf\" = \"\xC3\x9C \xF0\x9F\x93\x9E\";\n")), expected);
  EXPECT_EQ(parsed(utf16(text, false)), expected);
  EXPECT_EQ(parsed(utf16(text, true)), expected);
  EXPECT_EQ(parsed(utf16(text, false, /*mark=*/false)), expected);
}

TEST(StringsFileText, LaterDuplicateKeyWinsAndEmptyFileIsAnEmptyTable) {
  EXPECT_EQ(parsed(utf8("a = one; a = two;")), (StringsTable{{"a", "two"}}));
  EXPECT_TRUE(parsed(utf8("")).empty());
  EXPECT_TRUE(parsed(utf8("  /* nothing */ // here\n")).empty());
}

TEST(StringsFileText, ErrorsGiveTheLineAndWhatWasExpected) {
  expectErrorOnLine(utf8("a = b;\n\n\"c\" = \"d\"\n\"e\" = \"f\";"), 4, "expected ';'");
  expectErrorOnLine(utf8("a = b;\n\"open = x;\n"), 2, "never closed");
  expectErrorOnLine(utf8("a = b;\r\nc = d;\r\n/* open\r\n"), 3, "never closed");
  expectErrorOnLine(utf8("a = b;\r\r= c;"), 3, "expected a key");
  expectErrorOnLine(utf8("a = b;\nc = \"\xC3\x28\";"), 2, "UTF-8");
  expectErrorOnLine(utf8("a = b;\nc = \"\xE0\x80\x80\";"), 2, "UTF-8");  // overlong
  expectErrorOnLine(utf8("a = \"\\UD83D\";"), 1, "surrogate");
  expectErrorOnLine(utf8("a = val ue;"), 1, "expected ';'");
  expectErrorOnLine(utf8("a = ;"), 1, "expected a value");
  expectErrorOnLine(utf8("a = b"), 1, "expected ';'");
  expectErrorOnLine(utf16(u"a = b;\n\xD800", false), 2, "surrogate");
}

TEST(StringsFileText, PropertyListFilesAreLeftToTheCaller) {
  for (const Bytes& bytes :
       {utf8("bplist00\xD1\x01\x02"), utf8("<?xml version=\"1.0\"?><plist/>"),
        utf8("\xEF\xBB\xBF\n  <!DOCTYPE plist>"), utf16(u"<?xml version=\"1.0\"?>", false)}) {
    EXPECT_TRUE(isPropertyListStrings(bytes));
    auto table = parseStringsFile(bytes);
    ASSERT_FALSE(table.ok());
    EXPECT_EQ(table.error(), kPropertyListStringsMessage);
  }
  EXPECT_FALSE(isPropertyListStrings(utf8("\"<?xml\" = x;")));
}

}  // namespace
}  // namespace qv::l10n

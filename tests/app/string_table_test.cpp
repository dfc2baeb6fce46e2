// A language module's string table: the PO form translators write, and the
// German table and the translators' template that the build makes.
#include <gtest/gtest.h>

#include <QFile>
#include <set>

#include "app/language_module.h"

namespace tonalis::app {
namespace {

std::string ReadAll(const char* path) {
  QFile file(QString::fromUtf8(path));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
  return file.readAll().toStdString();
}

TEST(StringTable, ReadsEntriesWithEscapesContinuationsAndComments) {
  const std::string po =
      "\xEF\xBB\xBF# a comment\r\n"
      "msgid \"\"\r\n"
      "msgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\r\n"
      "\r\n"
      "#. for the translator\n"
      "msgctxt \"2\"\n"
      "msgid \"Two\"\n"
      "msgstr \"\"\n"
      "\"first line\\n\"\n"
      "  \"second \\\"quoted\\\" line\"\n"
      "msgctxt \"79\"\n"  // no blank line between entries
      "msgid \"PS\"\n"
      "msgstr \"%%Start\\r\\n\\ttrue\\\\setglobal\\101\\x42\"\n"
      "\n"
      "msgctxt \"37\"\n"
      "msgid \"<- \"\n"
      "msgstr \"<- \"\n";
  const ParsedStringTable table = ParseStringTable(po);
  EXPECT_TRUE(table.problems.empty()) << table.problems.front().text;
  EXPECT_EQ(table.strings.at(2), "first line\nsecond \"quoted\" line");
  EXPECT_EQ(table.strings.at(79), "%%Start\r\n\ttrue\\setglobalAB");
  EXPECT_EQ(table.strings.at(37), "<- ");  // the trailing blank is kept
  EXPECT_EQ(table.sources.at(2), "Two");
  EXPECT_EQ(table.strings.size(), 3u);
}

TEST(StringTable, UntranslatedAndFuzzyEntriesCountAsMissing) {
  const ParsedStringTable table = ParseStringTable(
      "msgctxt \"1\"\nmsgid \"One\"\nmsgstr \"\"\n\n"
      "#, fuzzy\nmsgctxt \"3\"\nmsgid \"Three\"\nmsgstr \"Drei?\"\n\n"
      "msgctxt \"4\"\nmsgid \"Four\"\nmsgstr \"Vier\"\n");
  EXPECT_TRUE(table.problems.empty());
  EXPECT_EQ(table.strings.count(1), 0u);
  EXPECT_EQ(table.strings.count(3), 0u);
  EXPECT_EQ(table.strings.at(4), "Vier");
  TableStrings strings(table.strings);
  EXPECT_EQ(strings.Load(1), "");
  EXPECT_EQ(strings.Load(4), "Vier");
}

TEST(StringTable, ProblemsNameTheirLineAndTheGoodEntriesAreKept) {
  const ParsedStringTable table = ParseStringTable(
      "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n\n"  // 1
      "msgctxt \"84\"\nmsgid \"x\"\nmsgstr \"y\"\n\n"                               // 4
      "msgctxt \"five\"\nmsgid \"x\"\nmsgstr \"y\"\n\n"                             // 8
      "msgid \"no number\"\nmsgstr \"y\"\n\n"                                       // 12
      "msgctxt \"6\"\nmsgid \"x\"\nmsgstr \"bad \\q escape\"\n\n"                   // 15
      "msgctxt \"7\"\nmsgid \"x\"\nmsgstr unquoted\n\n"                             // 19
      "msgctxt \"8\"\nmsgid \"x\"\nmsgid_plural \"xs\"\nmsgstr \"y\"\n\n"           // 23
      "msgctxt \"9\"\nmsgid \"Nine\"\nmsgstr \"Neun\"\n\n"                          // 28
      "msgctxt \"9\"\nmsgid \"Nine\"\nmsgstr \"Noch einmal\"\n\n"                   // 32
      "\"stray\"\n");                                                               // 36
  std::set<int> lines;
  for (const auto& problem : table.problems) lines.insert(problem.line);
  EXPECT_EQ(lines, (std::set<int>{1, 4, 8, 12, 17, 21, 25, 32, 36}));
  EXPECT_EQ(table.strings.at(9), "Neun");
  for (int id : {6, 7, 8}) EXPECT_EQ(table.strings.count(id), 0u) << id;
}

// The PostScript and PPD pieces of the section are the program's own and are
// never translated.
bool IsProgramPiece(int id) { return id == 77 || id == 78 || id == 79 || id == 83; }

// The German table is translated from the program's current texts: a
// changed English text shows up here as a stale translation.
TEST(GermanTable, TranslatesEveryTextOfTheProgramFromItsCurrentWording) {
  const ParsedStringTable table = ParseStringTable(ReadAll(TONALIS_GERMAN_TABLE));
  EXPECT_TRUE(table.problems.empty()) << table.problems.front().text;
  for (int id = kFirstStringId; id <= kLastStringId; ++id) {
    const std::string english = DefaultStrings().Load(id);
    if (english.empty() || IsProgramPiece(id)) {
      EXPECT_EQ(table.sources.count(id), 0u) << id;
      continue;
    }
    ASSERT_EQ(table.sources.count(id), 1u) << "string " << id << " is missing";
    EXPECT_EQ(table.sources.at(id), english) << "string " << id << " is translated from old text";
    ASSERT_EQ(table.strings.count(id), 1u) << "string " << id << " is not translated";
  }
}

TEST(GermanTable, KeepsWhatThePpdAndTheMessagesNeed) {
  const std::map<int, std::string> de = ParseStringTable(ReadAll(TONALIS_GERMAN_TABLE)).strings;
  // The option's and the empty choice's titles go into a PPD's German
  // translation lines, which are UTF-8: the table's own encoding.
  for (int id : {60, 62}) EXPECT_FALSE(de.at(id).empty()) << id;
  // The file name goes into each "%s".
  auto count = [](const std::string& text) {
    std::size_t n = 0;
    for (auto at = text.find("%s"); at != std::string::npos; at = text.find("%s", at + 2)) ++n;
    return n;
  };
  for (int id : {24, 28}) EXPECT_EQ(count(de.at(id)), count(DefaultStrings().Load(id))) << id;
  // The keyboard mnemonics of one window differ from each other.
  auto mnemonics = [&](std::initializer_list<int> ids) {
    std::multiset<char> keys;
    for (int id : ids) {
      const std::string& text = de.at(id);
      const auto at = text.find('&');
      if (at != std::string::npos && at + 1 < text.size())
        keys.insert(static_cast<char>(std::tolower(static_cast<unsigned char>(text[at + 1]))));
    }
    for (char key : keys) EXPECT_EQ(keys.count(key), 1u) << "mnemonic " << key << " twice";
  };
  mnemonics({33, 34, 35, 36, 38, 39, 41, 42, 43, 44, 45, 47, 48});  // main window
  mnemonics({52, 53, 54, 55, 48});                                  // curve editor
}

TEST(TranslatorsTemplate, HoldsEveryTextOfTheProgramUntranslated) {
  const ParsedStringTable table = ParseStringTable(ReadAll(TONALIS_STRINGS_TEMPLATE));
  EXPECT_TRUE(table.problems.empty());
  EXPECT_TRUE(table.strings.empty());
  for (int id = kFirstStringId; id <= kLastStringId; ++id) {
    const std::string english = DefaultStrings().Load(id);
    if (english.empty() || IsProgramPiece(id))
      EXPECT_EQ(table.sources.count(id), 0u) << id;
    else
      EXPECT_EQ(table.sources.count(id) ? table.sources.at(id) : "(missing)", english) << id;
  }
}

}  // namespace
}  // namespace tonalis::app

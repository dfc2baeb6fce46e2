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
      "msgstr \"<- \"\n\n"
      "msgctxt \"1\"\nmsgid \"One\"\nmsgstr \"\"\n\n"  // untranslated
      "#, fuzzy\nmsgctxt \"3\"\nmsgid \"Three\"\nmsgstr \"Drei?\"\n";
  const ParsedStringTable table = ParseStringTable(po);
  EXPECT_TRUE(table.problems.empty()) << table.problems.front().text;
  EXPECT_EQ(table.strings.at(2), "first line\nsecond \"quoted\" line");
  EXPECT_EQ(table.strings.at(79), "%%Start\r\n\ttrue\\setglobalAB");
  EXPECT_EQ(table.strings.at(37), "<- ");  // the trailing blank is kept
  EXPECT_EQ(table.sources.at(2), "Two");
  EXPECT_EQ(table.strings.size(), 3u);  // not 1 or 3

  // What a module lacks, and the PPD section's pieces, are the program's.
  const TableStrings strings(table.strings);
  EXPECT_EQ(strings.Load(2), "first line\nsecond \"quoted\" line");
  for (int id : {1, 3, sid::kOpenPostScript})
    EXPECT_EQ(strings.Load(id), DefaultStrings().Load(id)) << id;
  const TableStrings pieces({{60, "T"}, {62, "N"}, {77, "a"}, {78, "b"}, {79, "c"}, {83, "d"}});
  for (const auto& [id, text] : pieces.table())
    EXPECT_EQ(pieces.Load(id), DefaultStrings().Load(id)) << id;
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

// The German table is translated from the program's current texts (a changed
// English text shows up as a stale translation), and the translators'
// template holds them all untranslated; the PPD section's PostScript is
// never translated.
TEST(BuiltTables, GermanAndTheTemplateFollowTheProgramsCurrentTexts) {
  const ParsedStringTable de = ParseStringTable(ReadAll(TONALIS_GERMAN_TABLE));
  const ParsedStringTable pot = ParseStringTable(ReadAll(TONALIS_STRINGS_TEMPLATE));
  EXPECT_TRUE(de.problems.empty()) << de.problems.front().text;
  EXPECT_TRUE(pot.problems.empty());
  EXPECT_TRUE(pot.strings.empty());
  for (int id = kFirstStringId; id <= kLastStringId; ++id) {
    const std::string english = DefaultStrings().Load(id);
    for (const ParsedStringTable* table : {&de, &pot}) {
      if (english.empty() || id == 77 || id == 78 || id == 79 || id == 83) {
        EXPECT_EQ(table->sources.count(id), 0u) << id;
      } else {
        EXPECT_EQ(table->sources.count(id) ? table->sources.at(id) : "(missing)", english) << id;
      }
    }
    EXPECT_EQ(de.strings.count(id), pot.sources.count(id)) << "untranslated: " << id;
  }
  // The file name goes into each "%s".
  for (int id : {24, 28}) {
    EXPECT_EQ(de.strings.at(id).find("%s") == std::string::npos,
              DefaultStrings().Load(id).find("%s") == std::string::npos);
  }
}

}  // namespace
}  // namespace tonalis::app

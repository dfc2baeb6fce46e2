// A language module's string table: the PO form translators write, and the
// German table and the translators' template that the build makes.
#include <gtest/gtest.h>

#include <set>

#include "app/language_module.h"
#include "support/fixtures.h"

namespace tonalis::app {
namespace {

using test::ReadBytes;

TEST(StringTable, ReadsEntriesWithEscapesContinuationsAndComments) {
  const ParsedStringTable table = ParseStringTable(ReadBytes(TONALIS_APP_TEST_DATA "/entries.po"));
  EXPECT_TRUE(table.problems.empty()) << table.problems.front().text;
  EXPECT_EQ(table.strings.at(2), "first line\nsecond \"quoted\" line");
  EXPECT_EQ(table.strings.at(79), "%%Start\r\n\ttrue\\setglobalAB");
  EXPECT_EQ(table.strings.at(37), "<- ");  // the trailing blank is kept
  EXPECT_EQ(table.sources.at(2), "Two");
  EXPECT_EQ(table.strings.size(), 3u);  // neither the untranslated nor the fuzzy one

  // What a module lacks, and the PPD section's pieces, are the program's.
  const TableStrings strings(table.strings);
  EXPECT_EQ(strings.Load(2), "first line\nsecond \"quoted\" line");
  for (int id : {1, 3, sid::kOpenPostScript})
    EXPECT_EQ(strings.Load(id), DefaultStrings().Load(id)) << id;
  const TableStrings pieces({{60, "T"}, {62, "N"}, {77, "a"}, {78, "b"}, {79, "c"}, {83, "d"}});
  for (const auto& [id, text] : pieces.table())
    EXPECT_EQ(pieces.Load(id), DefaultStrings().Load(id)) << id;
}

// Lines: 1 a charset other than UTF-8, 4 a number out of range, 8 no number,
// 12 no msgctxt, 17 a bad escape, 21 an unquoted text, 25 a plural, 32 a
// repeated number (the first is kept), 36 a stray continuation.
TEST(StringTable, ProblemsNameTheirLineAndTheGoodEntriesAreKept) {
  const ParsedStringTable table = ParseStringTable(ReadBytes(TONALIS_APP_TEST_DATA "/problems.po"));
  std::set<int> lines;
  for (const auto& problem : table.problems) lines.insert(problem.line);
  EXPECT_EQ(lines, (std::set<int>{1, 4, 8, 12, 17, 21, 25, 32, 36}));
  EXPECT_EQ(table.strings.at(9), "Neun");
  for (int id : {6, 7, 8}) EXPECT_FALSE(table.strings.count(id)) << id;
}

// The German table and the translators' template the build makes hold every
// current text of the program but the PPD section's PostScript; the German
// one translates them all.
TEST(BuiltTables, GermanAndTheTemplateFollowTheProgramsCurrentTexts) {
  const ParsedStringTable de = ParseStringTable(ReadBytes(TONALIS_GERMAN_TABLE));
  const ParsedStringTable pot = ParseStringTable(ReadBytes(TONALIS_STRINGS_TEMPLATE));
  EXPECT_TRUE(de.problems.empty() && pot.problems.empty() && pot.strings.empty());
  for (int id = kFirstStringId; id <= kLastStringId; ++id) {
    const std::string english = DefaultStrings().Load(id);
    const bool kept = !english.empty() && id != 77 && id != 78 && id != 79 && id != 83;
    for (const ParsedStringTable* table : {&de, &pot})
      EXPECT_EQ(table->sources.count(id) ? table->sources.at(id) : "", kept ? english : "") << id;
    EXPECT_EQ(de.strings.count(id), kept ? 1u : 0u) << id;
  }
}

}  // namespace
}  // namespace tonalis::app

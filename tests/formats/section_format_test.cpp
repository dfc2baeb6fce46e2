// The density-control section as text: golden sections, names in the
// translation string, line endings and the supported-product test.
#include <gtest/gtest.h>

#include "formats/ppd_fixtures.h"
#include "formats/ppd_section.h"

namespace tonalis {
namespace {

using namespace test;

struct GoldenSection {
  const char* file;
  PrinterDefinitionList list;
};

std::vector<GoldenSection> GoldenSections() {
  PrinterDefinitionList ordinals;
  EmptyTable(ordinals);
  InsertDefinition(ordinals, Def("Second slot", 1, Curve(Ends(0, 10000))), InsertMode::AtSlot(1));
  InsertDefinition(ordinals, Def("Fourth slot", 1, Curve(kGamma22, 220)), InsertMode::AtSlot(3));
  const Points overshootUp = {0, 10000, U, U, U, U, U, U, U, U, U, U, 10000};
  const Points overshootDown = {10000, 0, U, U, U, U, U, U, U, U, U, U, 0};
  const Points both = {0, U, U, U, U, 9000, 1000, U, U, U, U, U, 10000};
  const Points onePoint = {U, U, U, U, U, U, U, U, U, U, U, U, 10000};
  return {
      {"section_worked_example.txt", ListOf({Standard()})},
      {"section_empty.txt", ListOf({})},
      {"section_ordinals.txt", ordinals},
      {"section_four_tables.txt",
       ListOf({Def("Per channel", 0,
                   {Curve(kIdentity), Curve(kGamma22, 220), Curve(Ends(0, 5000)),
                    Curve(Ends(2000, 10000), 150)})})},
      {"section_one_table_differing.txt",
       ListOf({Def("Cyan serves all", 1,
                   {Curve(kGamma22, 220), Curve(kIdentity), Curve(Ends(0, 5000)),
                    Curve(Ends(2000, 10000))})})},
      {"section_lut_half.txt", ListOf({Def("Half", 1, Curve(Ends(0, 5000)))})},
      {"section_lut_offset.txt", ListOf({Def("Offset", 1, Curve(Ends(2000, 10000)))})},
      {"section_clipping.txt",
       ListOf({Def("Overshoot", 0,
                   {Curve(overshootUp), Curve(overshootDown), Curve(both), Curve(onePoint)})})},
  };
}

TEST(Section, MatchesTheGoldenFilesByteForByte) {
  for (const auto& g : GoldenSections()) {
    EXPECT_EQ(BuildSection(g.list), Golden(g.file)) << g.file;
  }
}

TEST(Section, ClippedCurvesGiveTheEndsOfTheScale) {
  // Above 100 % the entries are 0.00, below 0 % they are 255.0, never beyond.
  const std::string text = Golden("section_clipping.txt");
  const std::size_t first = text.find("[\r\n"), last = text.rfind("]\r\n");
  const std::string tables = text.substr(first, last - first);
  EXPECT_NE(tables.find("[\r\n0.00\t0.00\t0.00"), std::string::npos);
  EXPECT_NE(tables.find("[\r\n255.0\t255.0\t255.0"), std::string::npos);
  EXPECT_EQ(tables.find('-'), std::string::npos);
  EXPECT_EQ(tables.find("255.5"), std::string::npos);
}

TEST(Section, KeywordsStayWithTheirNamesAndNewOnesAvoidTheFilesOwn) {
  using Read = std::vector<ChoiceRead>;
  struct Case {
    std::vector<std::string> names;
    Read read;
    std::vector<int> keywords;
  } cases[] = {
      {{"A", "B"}, {}, {1, 2}},
      // B stays Gumma2 wherever it stands; A was removed, so its Gumma1 is
      // not given to the new C at once.
      {{"C", "B"}, {{1, "A"}, {2, "B"}}, {3, 2}},
      {{"B", "A"}, {{1, "A"}, {2, "B"}}, {2, 1}},
      // A name held twice gives its keywords to its copies in order; an
      // unnumbered keyword of a hand-edited file is not kept.
      {{"D", "D", "X"}, {{4, "D"}, {5, "D"}, {0, "X"}}, {4, 5, 1}},
      // Every keyword was in the file: the lowest one not in use.
      {{"N"}, {{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}, {5, "e"}, {6, "f"}, {7, "g"}, {8, "h"},
               {9, "i"}},
       {1}},
  };
  for (const Case& c : cases) EXPECT_EQ(ppd::AssignKeywords(c.names, c.read), c.keywords);
}

TEST(ChoiceName, IsReadUpToTheColonWithHexSubstringsDecoded) {
  const std::string longName(40, 'n');
  struct Case {
    std::string line;
    std::string name;
  } cases[] = {
      {"*VLTone Gumma1/Plain: \"\r\n", "Plain"},
      {"*VLTone Gumma2/a<3A>b<3c>c: \"\r\n", "a:b<c"},
      {"*VLTone Gumma3/<4142>: \"\r\n", "AB"},
      {"*VLTone Gumma4/old:style: \"\r\n", "old"},  // raw colon of an older file
      {"*VLTone Gumma5/" + longName + ": \"\r\n", std::string(32, 'n')},
      {"*VLTone Gumma6/no colon\r\n", "no colon\r\n"},
      // Malformed hexadecimal substrings are kept as they stand.
      {"*VLTone Gumma1/x<3G>y<3>z<>: \"\r\n", "x<3G>y<3>z<>"},
      {"*VLTone Gumma1/open<41\r\n", "open<41\r\n"},
      {"*VLTone Gumma1\r\n", "\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(ppd::ReadChoiceName(c.line), c.name) << c.line;
}

TEST(ChoiceName, EscapedNamesReadBackExactly) {
  for (const std::string& name :
       std::vector<std::string>{"a:b", "<3A>", "x<y:z", "::", std::string(32, ':'), "<<>>"}) {
    const std::string escaped = ppd::EscapeName(name);
    EXPECT_EQ(escaped.find(':'), std::string::npos) << name;
    EXPECT_EQ(ppd::ReadChoiceName("*VLTone Gumma1/" + escaped + ": \"\r\n"), name);
  }
}

TEST(LineBreaks, TheFirstLineGivesTheFilesBreakAndEveryKindEndsALine) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\r\nb\n", "\r\n"}, {"a\nb\r\n", "\n"}, {"a\rb", "\r"},
      {"a\n\rb", "\n"},     {"a", "\n"},         {"", "\n"},
  };
  for (const auto& [text, lineBreak] : cases) EXPECT_EQ(ppd::FirstLineBreak(text), lineBreak);

  // Whatever ends a line, the next one starts after it, and the bytes stay.
  const std::string head = "*PPD-Adobe: \"4.3\"\r*A: 1\n*B: 2\r\n\n\r";
  const std::string tail = "*% Font Information\r*C: 3";
  PPDToneState state;
  PrinterDefinitionList list;
  ppd::SplitPpdText(head + tail, list, state);
  EXPECT_EQ(state.headText, head);
  EXPECT_EQ(state.tailText, tail);
  EXPECT_EQ(state.lineBreak, "\r");
}

TEST(SupportedText, NeedsTheKeywordOrAnAcceptedProductText) {
  using namespace std::string_literals;
  EXPECT_TRUE(IsSupportedPpdText("*QRHTUtility: True\r\n"));
  EXPECT_TRUE(IsSupportedPpdText("*NickName: \"OEM XXX Color\"\r\n"));
  EXPECT_TRUE(IsSupportedPpdText("binary\0junk\0*QRHTUtility"s));  // zero bytes do not end the text
  EXPECT_FALSE(IsSupportedPpdText("*NickName: \"OEM XX\"\r\n"));
  EXPECT_FALSE(IsSupportedPpdText(""));
}

}  // namespace
}  // namespace tonalis

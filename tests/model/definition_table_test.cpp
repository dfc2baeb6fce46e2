#include "model/definition_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace tonalis {
namespace {

DensityDef Named(std::string_view name, int marker = 0) {
  DensityDef d = NewDefinition();
  SetName(d, name);
  d.channels[0].points[6] = marker;
  return d;
}

template <int C>
std::unique_ptr<DefinitionTable<C>> Empty() {
  auto t = std::make_unique<DefinitionTable<C>>();
  EmptyTable(*t);
  return t;
}

using Names = std::vector<std::string_view>;

TEST(DefinitionTable, FindStopsAfterCountUsedSlots) {
  auto t = Empty<6>();
  t->slots[0] = Named("a");
  t->slots[1] = Named("b");
  t->count = 0;
  EXPECT_FALSE(FindDefinition(*t, "a"));
  t->count = 1;
  EXPECT_EQ(FindDefinition(*t, "a"), 0);
  EXPECT_FALSE(FindDefinition(*t, "b"));
  // A negative count finds and shows nothing.
  t->count = -3;
  EXPECT_FALSE(FindDefinition(*t, "a"));
  EXPECT_TRUE(VisibleNames(*t).empty());
}

TEST(DefinitionTable, HolesAreSkippedAndFilledLowestFirst) {
  auto lib = Empty<100>();
  lib->slots[0] = Named("first");
  lib->slots[2] = Named("third");
  lib->count = 2;
  EXPECT_EQ(FindDefinition(*lib, "third"), 2);
  EXPECT_EQ(InsertDefinition(*lib, Named("new"), InsertMode::AddMode()), InsertResult::Stored);
  EXPECT_EQ(FindDefinition(*lib, "new"), 1);
  EXPECT_EQ(lib->count, 3);
  EXPECT_EQ(VisibleNames(*lib), (Names{"first", "new", "third"}));
}

TEST(DefinitionTable, CountSmallerThanUsedSlotsHidesTheRest) {
  auto lib = Empty<100>();
  for (int i = 0; i < 5; ++i) lib->slots[i * 2] = Named(std::string(1, char('a' + i)));
  lib->count = 3;
  EXPECT_EQ(VisibleNames(*lib), (Names{"a", "b", "c"}));
  EXPECT_EQ(VisibleSlots(*lib), (std::vector<int>{0, 2, 4}));
  EXPECT_EQ(FindDefinition(*lib, "c"), 4);
  EXPECT_FALSE(FindDefinition(*lib, "d"));
}

TEST(DefinitionTable, FullIsReportedBeforeNameTaken) {
  auto t = Empty<6>();
  for (int i = 0; i < 6; ++i)
    ASSERT_EQ(InsertDefinition(*t, Named("n" + std::to_string(i)), InsertMode::AddMode()),
              InsertResult::Stored);
  EXPECT_EQ(InsertDefinition(*t, Named("n3"), InsertMode::AddMode()), InsertResult::Full);
  EXPECT_EQ(InsertDefinition(*t, Named("n3"), InsertMode::ReplaceMode()), InsertResult::Full);
  EXPECT_EQ(t->count, 6);
}

TEST(DefinitionTable, NameRuleAndReplace) {
  auto t = Empty<6>();
  ASSERT_EQ(InsertDefinition(*t, Named("abc", 1), InsertMode::AddMode()), InsertResult::Stored);
  // Case counts: ABC is another name.
  ASSERT_EQ(InsertDefinition(*t, Named("ABC", 2), InsertMode::AddMode()), InsertResult::Stored);
  EXPECT_EQ(FindDefinition(*t, "abc"), 0);
  EXPECT_EQ(FindDefinition(*t, "ABC"), 1);
  EXPECT_FALSE(FindDefinition(*t, "Abc"));

  EXPECT_EQ(InsertDefinition(*t, Named("abc", 3), InsertMode::AddMode()), InsertResult::NameTaken);
  EXPECT_EQ(InsertDefinition(*t, Named("abc", 3), InsertMode::AtSlot(4)), InsertResult::NameTaken);
  EXPECT_EQ(t->slots[0].channels[0].points[6], 1);
  EXPECT_EQ(InsertDefinition(*t, Named("abc", 3), InsertMode::ReplaceMode()),
            InsertResult::Stored);
  EXPECT_EQ(t->slots[0].channels[0].points[6], 3);
  EXPECT_EQ(t->count, 2);
}

TEST(DefinitionTable, GivenSlotMustBeFreeAndInside) {
  auto t = Empty<6>();
  ASSERT_EQ(InsertDefinition(*t, Named("x"), InsertMode::AtSlot(3)), InsertResult::Stored);
  EXPECT_EQ(FindDefinition(*t, "x"), 3);
  EXPECT_EQ(InsertDefinition(*t, Named("y"), InsertMode::AtSlot(3)), InsertResult::Full);
  EXPECT_EQ(InsertDefinition(*t, Named("y"), InsertMode::AtSlot(6)), InsertResult::Full);
  EXPECT_EQ(InsertDefinition(*t, Named("y"), InsertMode::AtSlot(-1)), InsertResult::Full);
  EXPECT_EQ(t->count, 1);
}

TEST(DefinitionTable, FreeingKeepsTheRecordAndCompactingKeepsOrder) {
  auto t = Empty<6>();
  for (auto n : {"one", "two", "three", "four"})
    InsertDefinition(*t, Named(n), InsertMode::AddMode());
  FreeSlot(*t, 1);
  EXPECT_EQ(t->count, 3);
  EXPECT_EQ(t->slots[1].name[1], 'w');  // only the first byte is cleared
  CompactAfter(*t, 1);
  EXPECT_EQ(VisibleNames(*t), (Names{"one", "three", "four"}));
  EXPECT_EQ(FindDefinition(*t, "four"), 2);
  EXPECT_FALSE(IsUsed(t->slots[3]));
}

TEST(DefinitionTable, CompactingTheLastSlotOfAFullTableStaysInside) {
  auto t = Empty<6>();
  for (int i = 0; i < 6; ++i)
    InsertDefinition(*t, Named("n" + std::to_string(i)), InsertMode::AddMode());
  FreeSlot(*t, 5);
  CompactAfter(*t, 5);
  EXPECT_EQ(t->count, 5);
  FreeSlot(*t, 0);
  CompactAfter(*t, 0);
  EXPECT_EQ(VisibleNames(*t), (Names{"n1", "n2", "n3", "n4"}));
}

TEST(DefinitionTable, EmptyingClearsTheWholeBlock) {
  auto t = Empty<6>();
  InsertDefinition(*t, Named("a"), InsertMode::AddMode());
  t->version = 9;
  t->reserved[2] = 7;
  EmptyTable(*t);
  EXPECT_EQ(t->version, 0);
  EXPECT_EQ(t->count, 0);
  EXPECT_EQ(t->reserved[2], 0);
  EXPECT_EQ(t->slots[0].channels[0].points[12], 0);
}

TEST(DefinitionTable, NamesWithoutTerminatorAreComparedWithinTheField) {
  auto t = Empty<6>();
  DensityDef d = NewDefinition();
  std::memset(d.name, 'q', kNameFieldSize);
  ASSERT_EQ(InsertDefinition(*t, d, InsertMode::AddMode()), InsertResult::Stored);
  EXPECT_EQ(FindDefinition(*t, std::string(36, 'q')), 0);
  EXPECT_FALSE(FindDefinition(*t, std::string(32, 'q')));
  EXPECT_EQ(VisibleNames(*t)[0].size(), 36u);
}

}  // namespace
}  // namespace tonalis

// The commands of the workspace, as scripts: each case starts from a library
// file and a PPD on disk, runs commands with the user's scripted answers and
// checks after each step what the command returned, both lists and what the
// user was told or asked; at the end, what reached the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "formats/library_file.h"
#include "support/fixtures.h"
#include "support/scripted_interaction.h"
#include "workspace/workspace.h"

namespace tonalis::test {
namespace {

namespace fs = std::filesystem;

Names Split(const std::string& text) {
  std::istringstream in(text);
  Names names;
  for (std::string word; in >> word;) names.push_back(word);
  return names;
}

// "new N" etc. below; a name may be "*N" for N names D0, D1, ... .
Names Expand(const std::string& text) {
  if (!text.empty() && text[0] == '*') {
    Names names;
    for (int i = 0; i < std::stoi(text.substr(1)); ++i) names.push_back("D" + std::to_string(i));
    return names;
  }
  return Split(text);
}

std::string PpdWith(const Names& names) { return PpdText("Colour Laser", names); }

template <class List>
std::string Joined(const List& names) {
  std::string text;
  for (const auto& n : names) text += (text.empty() ? "" : " ") + std::string(n);
  return text;
}

std::string Text(StoreResult r) {
  static const char* const kTexts[] = {"Stored",    "Replaced", "Declined", "NameTaken",
                                       "Full",      "Invalid",  "NotFound"};
  return kTexts[static_cast<int>(r)];
}

struct Step {
  std::string command;
  std::string result;   // what the command returned
  std::string library;  // the names afterwards: the library in slot order,
  std::string target;   // the target in the order of the PPD
  std::vector<int> messages = {};  // string ids shown or asked during the step
  std::vector<bool> answers = {};
};

struct Case {
  std::string name;
  std::string library, target;
  std::vector<Step> steps;
  std::string libraryOnDisk, targetOnDisk;  // after the last step
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class WorkspaceScript : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tonalis-ws-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Run(Workspace& ws, const std::string& command) {
    const Names w = Split(command);
    const Side side = w.size() > 1 && w[1] == "T" ? Side::Target : Side::Library;
    if (w[0] == "new") return Text(ws.StoreNew(Definition(w[1])));
    if (w[0] == "new-magenta-unset") {
      DensityDef def = Definition(w[1]);
      def.allChannels = 0;
      def.channels[kMagenta].points[kPointCount - 1] = kUnset;
      return Text(ws.StoreNew(def));
    }
    if (w[0] == "edit") return Text(ws.StoreEdited(side, w[2], Definition(w[3], 4242)));
    if (w[0] == "delete") return ws.Delete(side, w[2]) ? "true" : "false";
    if (w[0] == "add") return Text(ws.Add(w[1]));
    if (w[0] == "pick") return Text(ws.PickOut(w[1]));
    if (w[0] == "put") return Text(ws.Put(Definition(w[1], 4242)));
    if (w[0] == "set") return Text(ws.SetTargetDefinitions(Names(w.begin() + 1, w.end())));
    if (w[0] == "apply") return ws.Apply(), "-";
    if (w[0] == "switch") return ws.SaveBeforeSwitch(), "-";
    if (w[0] == "exit") return ws.SaveBeforeExit(), "-";
    ADD_FAILURE() << "unknown command " << command;
    return "";
  }

  fs::path dir_;
};

TEST_P(WorkspaceScript, Runs) {
  const Case& c = GetParam();
  WriteBytes((dir_ / "QR_grad.dat").string(), LibraryImage(Expand(c.library)));
  WriteBytes((dir_ / "printer.ppd").string(), PpdWith(Split(c.target)));
  ScriptedInteraction ui;
  auto ws = std::make_unique<Workspace>(WorkspaceSeams{ui, DefaultStrings(), (dir_ / "QR_grad.dat").string()});
  ASSERT_TRUE(ws->OpenLibrary());
  ASSERT_EQ(ws->ReadTarget(FileTarget((dir_ / "printer.ppd").string())), kPpdLoaded);
  ASSERT_TRUE(ui.Empty());

  for (const Step& step : c.steps) {
    SCOPED_TRACE(step.command);
    for (bool a : step.answers) ui.Answer(a);
    EXPECT_EQ(Run(*ws, step.command), step.result);
    EXPECT_EQ(Joined(ws->Names(Side::Library)), Joined(Expand(step.library)));
    EXPECT_EQ(Joined(ws->Names(Side::Target)), step.target);
    EXPECT_EQ(ui.Ids(), step.messages);
    EXPECT_EQ(ui.PendingAnswers(), 0u);
    ui.Clear();
  }

  ws.reset();  // releases the library's lock
  ScriptedInteraction quiet;
  Workspace disk({quiet, DefaultStrings(), (dir_ / "QR_grad.dat").string()});
  disk.OpenLibrary();
  disk.ReadTarget(FileTarget((dir_ / "printer.ppd").string()));
  EXPECT_EQ(Joined(disk.Names(Side::Library)), Joined(Expand(c.libraryOnDisk)));
  EXPECT_EQ(Joined(disk.Names(Side::Target)), c.targetOnDisk);
}

constexpr int kFull = sid::kTableFull, kTaken = sid::kNameTaken, kReplace = sid::kReplaceQuestion;
constexpr int kDeleteQ = sid::kDeleteQuestion, kSwitchQ = sid::kSaveBeforeSwitch,
              kExitQ = sid::kSaveBeforeExit, kWritten = sid::kPpdWritten;

const Case kCases[] = {
    {"NewTakesTheLowestFreeSlotAndRefusesATakenName", "A B C", "",
     {{"delete L B", "true", "A C", ""},
      {"new Z", "Stored", "A Z C", ""},
      {"new A", "NameTaken", "A Z C", "", {kTaken}}},
     "A B C", ""},
    {"EveryChannelOfAPerChannelDefinitionIsChecked", "A", "",
     {{"new-magenta-unset M", "Invalid", "A", "", {sid::kNoEndPoints}}}, "A", ""},
    {"AFullLibraryRefusesNewButTakesAReplacingPut", "*100", "",
     {{"new Z", "Full", "*100", "", {kFull}},
      {"put D5", "Replaced", "*100", ""},
      {"put Z", "Full", "*100", "", {kFull}}},
     "*100", ""},
    {"EditKeepsTheSlotAndMayKeepItsOwnNameButNoOther", "A B C", "X Y Z",
     {{"edit L B Q", "Replaced", "A Q C", "X Y Z"},
      {"edit L Q Q", "Replaced", "A Q C", "X Y Z"},
      {"edit L Q A", "NameTaken", "A Q C", "X Y Z", {kTaken}},
      {"edit T Y W", "Replaced", "A Q C", "X W Z"},
      {"apply", "-", "A Q C", "X W Z", {kWritten}}},
     "A Q C", "X W Z"},
    {"DeletingFromTheTargetClosesTheGap", "", "X Y Z",
     {{"delete T X", "true", "", "Y Z"},
      {"delete T X", "false", "", "Y Z"},
      {"exit", "-", "", "Y Z", {kExitQ, kWritten}, {true}}},
     "", "Y Z"},
    {"AddAppendsReplacesAfterYesAndStopsAtSix", "A B C D E F", "A",
     {{"add A", "Declined", "A B C D E F", "A", {kReplace}, {false}},
      {"add A", "Replaced", "A B C D E F", "A", {kReplace}, {true}},
      {"add B", "Stored", "A B C D E F", "A B"},
      {"add C", "Stored", "A B C D E F", "A B C"},
      {"add D", "Stored", "A B C D E F", "A B C D"},
      {"add E", "Stored", "A B C D E F", "A B C D E"},
      {"add F", "Stored", "A B C D E F", "A B C D E F"},
      {"add F", "Full", "A B C D E F", "A B C D E F", {kFull}},
      {"new G", "Stored", "A B C D E F G", "A B C D E F"},
      {"add G", "Full", "A B C D E F G", "A B C D E F", {kFull}}},
     "A B C D E F", "A"},
    {"PickOutCopiesIntoTheLibrary", "A", "A X",
     {{"pick X", "Stored", "A X", "A X"},
      {"pick A", "Replaced", "A X", "A X", {kReplace}, {true}},
      {"pick Q", "NotFound", "A X", "A X"},
      {"apply", "-", "A X", "A X"}},
     "A X", "A X"},
    {"AForeignNameFromThePpdIsNotPickedOut", "A", "A X\x85",
     {{"pick X\x85", "Invalid", "A", "A X\x85", {0}}}, "A", "A X\x85"},
    {"SetMakesTheTargetExactlyTheNamesInOrder", "A B C", "X",
     {{"set C A", "Stored", "A B C", "C A"},
      {"set A Q", "NotFound", "A B C", "C A"},
      {"set A A", "NameTaken", "A B C", "C A"},
      {"set A B C A B C A", "Full", "A B C", "C A", {kFull}},
      {"apply", "-", "A B C", "C A", {kWritten}}},
     "A B C", "C A"},
    {"SwitchingAsksOnlyWithChangesAndNoDropsThem", "A", "X",
     {{"switch", "-", "A", "X"},
      {"add A", "Stored", "A", "X A"},
      {"switch", "-", "A", "X A", {kSwitchQ}, {false}},
      {"switch", "-", "A", "X A"}},
     "A", "X"},
    {"NoAtExitWritesNothing", "A", "X",
     {{"delete L A", "true", "", "X"},
      {"add A", "NotFound", "", "X"},
      {"exit", "-", "", "X", {kExitQ}, {false}}},
     "A", "X"},
};

INSTANTIATE_TEST_SUITE_P(Commands, WorkspaceScript, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

TEST(Workspace, ConfirmDeleteAsksTheDeleteQuestion) {
  ScriptedInteraction ui;
  Workspace ws({ui});
  ui.Answer(false);
  EXPECT_FALSE(ws.ConfirmDelete());
  ASSERT_EQ(ui.shown().size(), 1u);
  EXPECT_EQ(ui.shown()[0].question, Question::DeleteDefinition);
  EXPECT_EQ(ui.shown()[0].stringId, kDeleteQ);
}

}  // namespace
}  // namespace tonalis::test

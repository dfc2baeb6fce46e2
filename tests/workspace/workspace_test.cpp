// The commands of the workspace, run as the scripts of data/workspace.
#include <map>
#include <sstream>

#include "printers/queue_target.h"
#include "support/fake_spooler.h"
#include "support/fixtures.h"
#include "printers/queue_records.h"
#include "workspace/workspace.h"

namespace tonalis::test {
namespace {

// The words of `text`, with \xNN as the byte and "*N" as N names D0, D1, ... .
Names Split(const std::string& text) {
  std::istringstream in(text);
  Names names;
  for (std::string word; in >> word;) {
    for (int i = 0; word.starts_with('*') && i < std::stoi(word.substr(1)); ++i)
      names.push_back("D" + std::to_string(i));
    for (std::size_t at; (at = word.find("\\x")) != std::string::npos;)
      word.replace(at, 4, 1, char(std::stoi(word.substr(at + 2, 2), nullptr, 16)));
    if (!word.starts_with('*')) names.push_back(word);
  }
  return names;
}

std::string Joined(const auto& names) {
  std::string text;
  for (const auto& n : names) text += (text.empty() ? "" : " ") + std::string(n);
  return text;
}

std::string Text(StoreResult r) {
  static const char* const kTexts[] = {"Stored",    "Replaced", "Declined", "NameTaken",
                                       "Full",      "Invalid",  "NotFound"};
  return kTexts[static_cast<int>(r)];
}

// A step: its command and the fields after "=>"; start and disk: the library and the PPD.
struct Step { std::string command; Names fields; };
struct Case { std::string name; Names start, disk; std::vector<Step> steps; };
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// The fields between '|', trimmed; as many as asked for.
Names Fields(const std::string& text, std::size_t count) {
  Names fields;
  std::istringstream in(text);
  for (std::string f; std::getline(in, f, '|');) fields.push_back(Joined(Split(f)));
  fields.resize(std::max(fields.size(), count));
  return fields;
}

// The cases of data/workspace/scripts.txt (its head tells the form).
std::vector<Case> Cases() {
  std::vector<Case> cases;
  std::istringstream in(ReadBytes(TONALIS_TEST_DATA "/workspace/scripts.txt"));
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with('#')) continue;
    const std::string word = line.substr(0, line.find(' ')), rest = line.substr(word.size());
    if (word == "case") cases.push_back({Joined(Split(rest)), Names(2), Names(2), {}});
    if (word == "start" || word == "disk")
      (word == "start" ? cases.back().start : cases.back().disk) = Fields(rest, 2);
    if (const std::size_t arrow = line.find("=>"); arrow != std::string::npos)
      cases.back().steps.push_back({line.substr(0, arrow), Fields(line.substr(arrow + 2), 5)});
  }
  return cases;
}

std::string Execute(Workspace& ws, const std::string& command, const std::string& ppd) {
  const Names w = Split(command);
  const Side side = w.size() > 1 && w[1] == "T" ? Side::Target : Side::Library;
  if (w[0] == "new") return Text(ws.StoreNew(Definition(w[1])));
  if (w[0] == "new-magenta-unset") {
    DensityDef def = Definition(w[1]);
    def.allChannels = 0, def.channels[kMagenta].points[kPointCount - 1] = kUnset;
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
  if (w[0] == "other")  // another program writes the PPD
    return WriteBytes(ppd, PpdText("Colour Laser", Names(w.begin() + 1, w.end()))), "-";
  ADD_FAILURE() << "unknown command " << command;
  return "";
}

using WorkspaceScript = ::testing::TestWithParam<Case>;

TEST_P(WorkspaceScript, Runs) {
  const Case& c = GetParam();
  TempDir dir;
  const std::string library = dir / "QR_grad.dat", ppd = dir / "printer.ppd";
  WriteBytes(library, LibraryImage(Split(c.start[0])));
  WriteBytes(ppd, PpdText("Colour Laser", Split(c.start[1])));
  ScriptedInteraction ui;
  auto ws = std::make_unique<Workspace>(WorkspaceSeams{ui, DefaultStrings(), library});
  ASSERT_TRUE(ws->OpenLibrary());
  ASSERT_EQ(ws->ReadTarget(FileTarget(ppd)), kPpdLoaded);
  ASSERT_TRUE(ui.Empty());
  const std::map<std::string, int> ids = {{"taken", sid::kNameTaken}, {"full", sid::kTableFull},
      {"replace?", sid::kReplaceQuestion}, {"switch?", sid::kSaveBeforeSwitch},
      {"exit?", sid::kSaveBeforeExit}, {"written", sid::kPpdWritten},
      {"no-end-points", sid::kNoEndPoints}, {"changed?", sid::kPpdChangedElsewhere}, {"0", 0}};
  for (const auto& [command, f] : c.steps) {  // RESULT | LIBRARY | TARGET | MESSAGES | ANSWERS
    SCOPED_TRACE(command);
    std::vector<int> messages;
    for (const std::string& m : Split(f[3])) messages.push_back(ids.at(m));
    for (const std::string& a : Split(f[4])) ui.Answer(a == "yes");
    EXPECT_EQ(Execute(*ws, command, ppd), f[0]);
    EXPECT_EQ(Joined(ws->Names(Side::Library)), f[1]);
    EXPECT_EQ(Joined(ws->Names(Side::Target)), f[2]);
    EXPECT_EQ(ui.Ids(), messages);
    EXPECT_EQ(ui.PendingAnswers(), 0u);
    ui.Clear();
  }
  ws.reset();  // releases the library's lock
  ScriptedInteraction quiet;
  Workspace disk({quiet, DefaultStrings(), library});
  disk.OpenLibrary(), disk.ReadTarget(FileTarget(ppd));
  EXPECT_EQ(Joined(disk.Names(Side::Library)), c.disk[0]);
  EXPECT_EQ(Joined(disk.Names(Side::Target)), c.disk[1]);
}

INSTANTIATE_TEST_SUITE_P(Commands, WorkspaceScript, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

// A copy that holds a PPD from its read to its write (the command line's)
// keeps another's write out, for a file and for a queue; after the wait
// nothing is written, and the reason names the holder.
TEST(Workspace, AHeldTargetKeepsAnotherCopysWriteOut) {
  TempDir dir;
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  FakeSpooler spooler;
  spooler.Add({"Beta", "Tonalis PS", PpdText("Beta PS", {"X"})});
  WriteBytes(dir / "p.ppd", PpdText("Colour Laser", {"X"}));
  SetLockWait(std::chrono::milliseconds(50));
  const std::shared_ptr<PpdTarget> queue =
      std::make_shared<PpdQueueTarget>(spooler, QueueRef{"", "Beta"});
  for (const std::shared_ptr<PpdTarget>& target : {FileTarget(dir / "p.ppd"), queue}) {
    ScriptedInteraction ui;
    Workspace holder({.ui = ui, .holdTarget = true}), window({.ui = ui});
    ASSERT_EQ(holder.ReadTarget(target), kPpdLoaded);
    ASSERT_EQ(window.ReadTarget(target), kPpdLoaded);
    window.Delete(Side::Target, "X");
    EXPECT_FALSE(window.WriteTarget());
    ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWriteFailed});
    const std::string& reason = ui.shown()[0].detail;
    EXPECT_NE(reason.find(" holds it open; Tonalis waited 0.05 seconds"), std::string::npos)
        << reason;
    holder.DropTarget();
    EXPECT_TRUE(window.WriteTarget());
  }
  SetLockWait(std::chrono::seconds(30));
  unsetenv("XDG_RUNTIME_DIR");
}

TEST(Workspace, ConfirmDeleteAsksTheDeleteQuestion) {
  ScriptedInteraction ui;
  Workspace ws({ui});
  ui.Answer(false);
  EXPECT_FALSE(ws.ConfirmDelete());
  ASSERT_EQ(ui.shown().size(), 1u);
  EXPECT_EQ(ui.shown()[0].question, Question::DeleteDefinition);
  EXPECT_EQ(ui.shown()[0].stringId, sid::kDeleteQuestion);
}

// The window asks once per queue whether to put back what Tonalis wrote when
// a driver update took it away, and yes writes it back.
TEST(Workspace, ALostQueueIsOfferedItsRecordedControlsOnce) {
  TempDir dir;
  FakeSpooler spooler;
  const std::string vendor = PpdText("Beta PS", {});
  spooler.Add({"Beta", "Tonalis PS", PpdText("Beta PS", {"X", "Y"})});
  const auto queue = std::make_shared<PpdQueueTarget>(spooler, QueueRef{"", "Beta"});
  ScriptedInteraction ui;
  Workspace writer({.ui = ui, .queueRecords = dir / "queues.json"});
  ASSERT_EQ(writer.ReadTarget(queue), kPpdLoaded);
  writer.Delete(Side::Target, "X");
  ASSERT_TRUE(writer.WriteTarget());
  const std::string written = spooler.Ppd("Beta");
  EXPECT_FALSE(writer.OfferRestore());  // in place

  spooler.ReplacePpd({"", "Beta"}, vendor);  // a driver update
  ui.Answer(true);
  Workspace window({.ui = ui, .queueRecords = dir / "queues.json"});
  ASSERT_EQ(window.ReadTarget(queue), kPpdLoaded);
  EXPECT_TRUE(window.OfferRestore());
  EXPECT_EQ(ui.shown().at(ui.shown().size() - 2).question, Question::RestoreControls);
  // Y keeps its keyword (Gumma2) on the PPD that had none.
  EXPECT_EQ(SectionFingerprint(spooler.Ppd("Beta")), SectionFingerprint(written));
  EXPECT_EQ(window.Names(Side::Target), std::vector<std::string_view>{"Y"});
  // Asked once a session.
  spooler.ReplacePpd({"", "Beta"}, vendor);
  ASSERT_EQ(window.ReadTarget(queue), kPpdLoaded);
  const std::size_t asked = ui.shown().size();
  EXPECT_FALSE(window.OfferRestore());
  EXPECT_EQ(ui.shown().size(), asked);
}

}  // namespace
}  // namespace tonalis::test

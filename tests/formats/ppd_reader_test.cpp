// Reading PPD files: what reaches the definition list and the split texts,
// what happens to the file on disk, and what the user is told.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "formats/ppd_fixtures.h"

namespace tonalis {
namespace {

using namespace test;

const std::string kHead = "*PPD-Adobe: \"4.3\"\r\n*QRHTUtility: True\r\n";
const std::string kTail = "*% Font Information\r\n*DefaultFont: Courier\r\n*Font Courier: x\r\n";
const std::string kOpen = "*OpenUI *VLTone/Color adjustment:  PickOne\r\n";
const std::string kClose = "*CloseUI: *VLTone\r\n";

std::string Choice(int n, const std::string& name) {
  return "*VLTone Gumma" + std::to_string(n) + "/" + name + ": \"\r\n";
}

class Reader : public ::testing::Test {
 protected:
  ScratchDir dir;
  std::string path = dir.File("printer.ppd");

  PpdReadOutcome Read(const std::string& text) {
    WriteBytes(path, text);
    return GetPPDToneInfo(FileTarget(path), list, {ui});
  }
  ToneCurve Channel(int slot, int c) const { return list.slots[slot].channels[c]; }

  ScriptedInteraction ui;
  PrinterDefinitionList list = ListOf({Standard()});  // emptied by every read
};

TEST_F(Reader, NeverChangesTheFile) {
  const std::string crlf = kHead + "*% body\r\n" + kTail;
  std::string lf = crlf, cr = crlf;
  for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  for (std::size_t at; (at = cr.find("\r\n")) != std::string::npos;) cr.erase(at + 1, 1);
  const std::string mixed = "*PPD-Adobe: \"4.3\"\n*QRHTUtility: True\r*% body\r\n" + kTail;
  for (const std::string& text : {crlf, lf, cr, mixed}) {
    WriteBytes(path, text);
    const struct timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), past, 0), 0);
    auto outcome = GetPPDToneInfo(FileTarget(path), list, {ui});
    ASSERT_EQ(outcome.result, kPpdLoaded);
    EXPECT_EQ(ReadBytes(path), text);
    EXPECT_EQ(ModificationTime(path).tv_sec, 1000000000);
    EXPECT_EQ(outcome.loaded->state().headText + outcome.loaded->state().tailText, text);
    EXPECT_EQ(outcome.loaded->state().ppdPath, path);
  }
  EXPECT_TRUE(ui.Empty());
}

TEST_F(Reader, ReadsTheCrLfSectionThatEarlierVersionsPutIntoAnLfFile) {
  const std::string head = "*PPD-Adobe: \"4.3\"\n*QRHTUtility: True\n";
  const std::string tail = "*DefaultFont: Courier\n";
  auto outcome = Read(head + kOpen + Choice(1, "Old") + "%% Same:1\r\n" + kClose + tail);
  ASSERT_EQ(outcome.result, kPpdLoaded);
  EXPECT_EQ(VisibleNames(list), std::vector<std::string_view>{"Old"});
  EXPECT_EQ(outcome.loaded->state().headText, head);
  EXPECT_EQ(outcome.loaded->state().tailText, tail);
  EXPECT_EQ(outcome.loaded->state().lineBreak, "\n");
}

TEST_F(Reader, LeavesUnsupportedAndEmptyFilesAlone) {
  for (const std::string text : {"", "*PPD-Adobe: \"4.3\"\n*NickName: \"Other\"\n"}) {
    auto outcome = Read(text);
    EXPECT_EQ(outcome.result, kPpdUnsupported);
    EXPECT_FALSE(outcome.loaded);
    EXPECT_EQ(ReadBytes(path), text);
    EXPECT_EQ(list.count, 0);
  }
  EXPECT_TRUE(ui.Empty());  // the caller says why
  EXPECT_EQ(Read("*NickName: \"OEM XXX\"\r\n").result, kPpdLoaded);
}

TEST_F(Reader, SplitsAFileWithoutSectionAtTheFirstAnchor) {
  const std::string tail = "*DefaultFont: Courier\r\n*% Font Information\r\n*% end";
  auto outcome = Read(kHead + tail);
  ASSERT_EQ(outcome.result, kPpdLoaded);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(outcome.loaded->state().headText, kHead);
  EXPECT_EQ(outcome.loaded->state().tailText, tail);

  outcome = Read(kTail + kHead);  // the anchor is the very first line
  EXPECT_EQ(outcome.loaded->state().headText, "");
  EXPECT_EQ(outcome.loaded->state().tailText, kTail + kHead);
}

TEST_F(Reader, CutsOutEverySectionAndKeepsSixDefinitions) {
  std::string first = kOpen;
  for (int i = 1; i <= 4; ++i) first += Choice(i, "D" + std::to_string(i)) + "%% Same:1\r\n";
  std::string second = kOpen;
  for (int i = 5; i <= 7; ++i) {
    second += Choice(i - 4, "D" + std::to_string(i)) +
              "%% Same:1\r\n%% PerC:0\t" + std::to_string(i) + "\t-1\t-1\t\r\n";
  }
  auto outcome = Read(kHead + first + kClose + kTail + second + kClose);
  ASSERT_EQ(outcome.result, kPpdLoaded);
  EXPECT_EQ(outcome.loaded->state().headText, kHead);
  EXPECT_EQ(outcome.loaded->state().tailText, kTail);
  ASSERT_EQ(list.count, 6);
  EXPECT_EQ(NameOf(list.slots[5]), "D6");
  // The seventh choice and its comment lines change nothing.
  EXPECT_EQ(Channel(5, kCyan).points[1], 6);
}

TEST_F(Reader, RebuildsDefinitionsFromTheirCommentLines) {
  const std::string section =
      kOpen +
      // 1: only five numbers on the cyan line; all channels follow cyan.
      Choice(1, "Five") + "%% Same:1\r\n%% PerC:10\t600\t1100\t2100\t3100\r\n" +
      // 2: a control-point line before the Same line is ignored.
      Choice(2, "Early") + "%% PerC:1\t1\t1\t1\t1\t\r\n%% Same:0\r\n" +
      "%% PerM:0\t-1\t-1\t-1\t-1\t-1\t-1\t-1\t-1\t-1\t-1\t-1\t5000\t180\r\n" +
      // 3: the older form, one curve in two lines.
      Choice(3, "Older") + "%% Per1:0\t400\t900\t-1\t-1\t-1\t4000\t\r\n" +
      "%% Per2:-1\t-1\t-1\t-1\t9400\t10000\t230\r\n" +
      // 4: a name too long, and 5: a keyword line without a colon.
      Choice(4, std::string(40, 'L')) + "*VLTone Gumma5/no colon\r\n" + kClose;
  ASSERT_EQ(Read(kHead + section + kTail).result, kPpdLoaded);
  ASSERT_EQ(list.count, 5);

  const ToneCurve five = Curve({10, 600, 1100, 2100, 3100, U, U, U, U, U, U, U, 10000});
  for (int c = 0; c < kChannelCount; ++c) EXPECT_EQ(Channel(0, c), five);

  EXPECT_EQ(list.slots[1].allChannels, 0);
  EXPECT_EQ(Channel(1, kCyan), Curve(Ends(0, 10000)));
  EXPECT_EQ(Channel(1, kMagenta), Curve(Ends(0, 5000), 180));

  const ToneCurve older = Curve({0, 400, 900, U, U, U, 4000, U, U, U, U, 9400, 10000}, 230);
  EXPECT_EQ(list.slots[2].allChannels, 1);
  for (int c = 0; c < kChannelCount; ++c) EXPECT_EQ(Channel(2, c), older);

  EXPECT_EQ(NameOf(list.slots[3]), std::string(32, 'L'));
  EXPECT_EQ(NameOf(list.slots[4]), "no colon\r\n");
}

TEST_F(Reader, ReportsASectionThatIsNeverClosed) {
  const std::string open = kOpen + Choice(1, "A") + "%% Same:1\r\n";
  for (const std::string& text : {kHead + open + kTail, kHead + open + kClose + open}) {
    ui.Clear();
    auto outcome = Read(text);
    EXPECT_EQ(outcome.result, kPpdFailed);
    EXPECT_FALSE(outcome.loaded);
    EXPECT_EQ(ui.Ids(), std::vector<int>{sid::kPpdConstructionError});
  }
}

TEST_F(Reader, TakesTheLastNickNameOutsideTheSection) {
  const std::string nick = "*NickName: \"First\"\r\n";
  EXPECT_EQ(Read(kHead + nick + "*NickName: \"Second\"\r\n" + kTail).nickName, "Second");
  // Without a closing quote: the rest of the line, line break included.
  EXPECT_EQ(Read(kHead + nick + "*NickName: \"Open\r\n").nickName, "Open\r\n");
  // Inside a section it is not a NickName line.
  EXPECT_EQ(Read(kHead + nick + kOpen + "*NickName: \"In\"\r\n" + kClose).nickName, "First");
  auto outcome = Read(kHead + "*NickName: \"" + std::string(5000, 'n') + "\"\r\n");
  EXPECT_EQ(outcome.nickName, std::string(1024, 'n'));
  EXPECT_EQ(outcome.loaded->state().nickName, outcome.nickName);
}

TEST_F(Reader, HandlesVeryLongLinesAndZeroBytesAsOrdinaryText) {
  using namespace std::string_literals;
  const std::string longLine = "*% " + std::string(100000, 'x') + "\r\n";
  const std::string withZero = "*% zero \0 inside\r\n"s;
  const std::string section = kOpen + Choice(1, std::string(100000, 'N')) + "%% Same:0\r\n" +
                              "%% PerC:" + std::string(100000, '\t') + "7\t\r\n" + kClose;
  // The keyword stands after a zero byte: the supported test still finds it.
  const std::string text = "*PPD-Adobe: \"4.3\"\r\n" + withZero + longLine + section +
                           "*QRHTUtility: True\r\n" + kTail;
  auto outcome = Read(text);
  ASSERT_EQ(outcome.result, kPpdLoaded);
  EXPECT_EQ(outcome.loaded->state().headText,
            "*PPD-Adobe: \"4.3\"\r\n" + withZero + longLine + "*QRHTUtility: True\r\n");
  ASSERT_EQ(list.count, 1);
  EXPECT_EQ(NameOf(list.slots[0]), std::string(32, 'N'));
  EXPECT_EQ(Channel(0, kCyan).points[0], 7);
}

TEST_F(Reader, AsksBeforeTakingAReadOnlyFile) {
  const std::string lf = "*QRHTUtility: True\n";
  WriteBytes(path, lf);
  chmod(path.c_str(), 0444);
  ui.Answer(false);
  auto outcome = GetPPDToneInfo(FileTarget(path), list, {ui});
  EXPECT_EQ(outcome.result, kPpdFailed);
  EXPECT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdReadOnly, sid::kPpdOpenFailed}));
  EXPECT_EQ(ui.shown()[0].kind, MessageKind::Proceed);
  EXPECT_EQ(ReadBytes(path), lf);

  ui.Clear();
  ui.Answer(true);
  outcome = GetPPDToneInfo(FileTarget(path), list, {ui});
  EXPECT_EQ(outcome.result, kPpdLoaded);
  EXPECT_EQ(ui.Ids(), std::vector<int>{sid::kPpdReadOnly});
  EXPECT_FALSE(IsReadOnly(path));
  EXPECT_EQ(ReadBytes(path), lf);
}

TEST_F(Reader, ReportsAMissingFileFromTheKeywordTestAndTheOpen) {
  auto outcome = GetPPDToneInfo(FileTarget(dir.File("absent.ppd")), list, {ui});
  EXPECT_EQ(outcome.result, kPpdFailed);
  EXPECT_EQ(list.count, 0);
  ASSERT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdOpenFailed, sid::kPpdOpenFailed}));
  EXPECT_EQ(ui.shown()[1].detail, SystemReason(ENOENT));
  EXPECT_EQ(ui.shown()[1].subject, dir.File("absent.ppd"));
}

}  // namespace
}  // namespace tonalis

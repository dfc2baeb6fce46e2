// Hostile input: crafted PPDs and library files, each with its documented
// result. After any write, every line outside the section is as it was and
// the section is exactly the generated one: no line can be smuggled in.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "formats/library_file.h"
#include "formats/ppd_fixtures.h"
#include "formats/ppd_section.h"

namespace tonalis {
namespace {

using namespace test;
namespace fs = std::filesystem;

const std::string kHead =
    "*PPD-Adobe: \"4.3\"\r\n*QRHTUtility: True\r\n*NickName: \"Hostile\"\r\n"
    "*OpenUI *PageSize: PickOne\r\n*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\r\n"
    "*CloseUI: *PageSize\r\n";
const std::string kTail = "*% Font Information\r\n*DefaultFont: Courier\r\n*Font Courier: Standard\r\n";

std::string Section(const std::string& choices) {
  return "*OpenUI *VLTone/Color adjustment:  PickOne\r\n*DefaultVLTone: None\r\n" + choices +
         "*CloseUI: *VLTone\r\n";
}
std::string Choice(int n, const std::string& name, const std::string& body = {}) {
  return "*VLTone Gumma" + std::to_string(n) + "/" + name + ": \"\r\n" + body + "\"\r\n*End\r\n";
}

struct PpdCase {
  const char* what;
  std::string section;                 // goes between kHead and kTail
  int result;                          // of the read
  std::vector<std::string> names;      // read back, in order
  bool writable;                       // whether writing the read list back is allowed
};

std::vector<PpdCase> PpdCases() {
  const std::string latin1 = "\xE9t\xE9 \x80\xFF\xA0";
  return {
      {"control characters by hex", Section(Choice(1, "a<0D0A>*cupsFilter<3A> x") +
                                            Choice(2, "esc<1B>[31m")),
       kPpdLoaded, {"a\r\n*cupsFilter: x", "esc\x1B[31m"}, false},
      {"raw control character", Section(Choice(1, "bell\x07ring")), kPpdLoaded, {"bell\x07ring"},
       false},
      {"quotes, colons, less-than, Latin-1",
       Section(Choice(1, "say \"hi\"") + Choice(2, "a<3A>b<3C>c") + Choice(3, "<zz<3") +
               Choice(4, latin1)),
       kPpdLoaded, {"say \"hi\"", "a:b<c", "<zz<3", latin1}, true},
      {"names over 32 bytes are cut", Section(Choice(1, std::string(36, 'N')) +
                                              Choice(2, std::string(5000, 'L'))),
       kPpdLoaded, {std::string(32, 'N'), std::string(32, 'L')}, true},
      {"no colon: the line break is part of the name",
       Section("*VLTone Gumma1/broken\r\n*End\r\n"), kPpdLoaded, {"broken\r\n"}, false},
      {"seven and more definitions: six are kept",
       Section(Choice(1, "d1") + Choice(2, "d2") + Choice(3, "d3") + Choice(4, "d4") +
               Choice(5, "d5") + Choice(6, "d6") + Choice(7, "d7") + Choice(8, "d8")),
       kPpdLoaded, {"d1", "d2", "d3", "d4", "d5", "d6"}, true},
      {"smuggled PPD lines inside the section are dropped",
       Section(Choice(1, "ok", "*cupsFilter: \"application/vnd.cups-postscript 0 /bin/evil\"\r\n"
                               "*OpenUI *Evil: PickOne\r\n%% Same:0\r\n%% PerC:1 2 3\r\n") +
               "*cupsPreFilter: \"x 0 /bin/evil\"\r\n*JCLBegin: \"evil\"\r\n"),
       kPpdLoaded, {"ok"}, true},
      {"empty and zero names are skipped",
       Section(Choice(1, "") + Choice(2, "<00>hidden") + Choice(3, "kept")), kPpdLoaded, {"kept"},
       true},
      {"out-of-range numbers", Section(Choice(1, "wild",
                                              "%% Same:-7\r\n%% PerC:99999999999\t-99999999999\t"
                                              "-2147483648\t2147483647\t0\t0\t0\t0\t0\t0\t0\t0\t"
                                              "10000\t5\r\n")),
       kPpdLoaded, {"wild"}, true},
      {"a line far over the PPD line limit", Section(Choice(1, "long")) +
                                                 "*% " + std::string(300000, 'x') + "\r\n",
       kPpdLoaded, {"long"}, true},
      {"a section that never closes",
       "*OpenUI *VLTone/Color adjustment:  PickOne\r\n" + Choice(1, "open"), kPpdFailed, {},
       false},
  };
}

// Every line of `written` outside its density-control section, in order.
std::vector<std::string> LinesOutsideSection(const std::string& text) {
  std::vector<std::string> lines;
  bool inside = false;
  for (size_t pos = 0; pos < text.size();) {
    const size_t end = std::min(text.find("\r\n", pos), text.size());
    const std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    if (line.rfind(ppd::kOpenSection, 0) == 0) inside = true;
    if (!inside) lines.push_back(line);
    if (inside && line.rfind(ppd::kCloseSection, 0) == 0) inside = false;
  }
  return lines;
}

// The one density-control section of `text`, from its first line to its last.
std::string SectionOf(const std::string& text) {
  const size_t open = text.find(std::string(ppd::kCrLf) + std::string(ppd::kOpenSection));
  if (open == std::string::npos) return {};
  const size_t close = text.find(std::string(ppd::kCrLf) + std::string(ppd::kCloseSection), open);
  if (close == std::string::npos) return {};
  const size_t end = text.find(ppd::kCrLf, close + 2);
  return text.substr(open + 2, end + 2 - (open + 2));
}

TEST(HostilePpd, EachCraftedFileGetsItsDocumentedResult) {
  for (const PpdCase& c : PpdCases()) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    const std::string path = dir.File("hostile.ppd");
    const std::string original = kHead + c.section + kTail;
    WriteBytes(path, original);
    ScriptedInteraction ui;
    auto list = std::make_unique<PrinterDefinitionList>();
    PpdReadOutcome read = GetPPDToneInfo(FileTarget(path), *list, {ui});
    ASSERT_EQ(read.result, c.result);
    if (!read.loaded) {
      EXPECT_EQ(ui.Ids(), std::vector<int>{sid::kPpdConstructionError});
      EXPECT_TRUE(ReadBytes(path) == original);
      continue;
    }
    std::vector<std::string> names;
    for (std::string_view n : VisibleNames(*list)) names.emplace_back(n);
    EXPECT_EQ(names, c.names);

    ui.Clear();
    const std::string composed = ComposePpd(read.loaded->state(), *list).bytes;
    const bool written = SetPPDToneInfo(*read.loaded, *list, {ui});
    EXPECT_EQ(written, c.writable);
    const std::string now = ReadBytes(path);
    if (!written) {
      // Refused before anything was touched, with the name shown harmlessly.
      ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWriteFailed});
      EXPECT_EQ(ui.shown()[0].detail.find_first_of("\r\n\x07\x1B"), std::string::npos);
      EXPECT_TRUE(now == original);
      continue;
    }
    // Outside the section nothing changed; the section is the generated one.
    EXPECT_TRUE(LinesOutsideSection(now) == LinesOutsideSection(original));
    EXPECT_TRUE(now == composed);
    EXPECT_FALSE(SectionOf(now).empty());
    EXPECT_EQ(now.find("evil"), std::string::npos);
    auto again = std::make_unique<PrinterDefinitionList>();
    ASSERT_EQ(GetPPDToneInfo(FileTarget(path), *again, {ui}).result, kPpdLoaded);
    for (int i = 0; i < list->count; ++i) EXPECT_EQ(again->slots[i], list->slots[i]) << i;
  }
}

TEST(HostilePpd, AHugeFileIsReadAndWrittenWhole) {
  ScratchDir dir;
  const std::string path = dir.File("huge.ppd");
  std::string filler;
  const std::string line = "*% " + std::string(200, 'f') + "\r\n";
  while (filler.size() < (8u << 20)) filler += line;
  const std::string original = kHead + filler + Section(Choice(1, "big")) + kTail;
  WriteBytes(path, original);
  const auto start = std::chrono::steady_clock::now();
  ScriptedInteraction ui;
  PrinterDefinitionList list;
  LoadedPpd ppd = MustLoad(FileTarget(path), list, ui);
  ASSERT_TRUE(SetPPDToneInfo(ppd, ListOf({Standard()}), {ui}));
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
  const std::string now = ReadBytes(path);
  EXPECT_TRUE(LinesOutsideSection(now) == LinesOutsideSection(original));
  EXPECT_TRUE(now == ComposePpd(ppd.state(), ListOf({Standard()})).bytes);
  EXPECT_NE(SectionOf(now).find("*VLTone Gumma2/Standard"), std::string::npos);
  std::printf("huge-ppd: %zu bytes read and written in %.2f s\n", original.size(), seconds.count());
}

struct LibraryCase {
  const char* what;
  std::string image;
  LibraryFormat format;
  int count;
  std::string firstName;
};

std::string CurrentImage(int16_t version, int16_t count, size_t size, const std::string& name) {
  std::string image(size, '\0');
  image[0] = static_cast<char>(version & 0xFF);
  if (size > 1) image[1] = static_cast<char>((version >> 8) & 0xFF);
  if (size > 3) {
    image[2] = static_cast<char>(count & 0xFF);
    image[3] = static_cast<char>((count >> 8) & 0xFF);
  }
  for (size_t i = 0; i < name.size() && 8 + i < size; ++i) image[8 + i] = name[i];
  return image;
}

TEST(HostileLibrary, EachCraftedFileGetsItsDocumentedResult) {
  const std::string unended(36, 'U');
  std::string old = CurrentImage(1, 200, kOldLibraryFileBytes, "");
  std::copy_n("OldName", 7, old.begin() + 4);
  const LibraryCase cases[] = {
      {"one byte", std::string(1, '\x02'), LibraryFormat::Current, 0, ""},
      {"cut inside the first name", CurrentImage(2, 1, 10, "Cut"), LibraryFormat::Current, 1,
       "Cu"},
      {"one byte short", CurrentImage(2, 1, kLibraryFileBytes - 1, "Short"),
       LibraryFormat::Current, 1, "Short"},
      {"oversized", CurrentImage(2, 1, kLibraryFileBytes + 5000, "Big"), LibraryFormat::Current,
       1, "Big"},
      {"negative count", CurrentImage(2, -5, kLibraryFileBytes, "Neg"), LibraryFormat::Current, 0,
       ""},
      {"count beyond capacity", CurrentImage(2, 32767, kLibraryFileBytes, "Many"),
       LibraryFormat::Current, 1, "Many"},
      {"version from the future", CurrentImage(32767, 1, kLibraryFileBytes, "Future"),
       LibraryFormat::Current, 1, "Future"},
      {"negative version reads as old", CurrentImage(-1, 0, kLibraryFileBytes, ""),
       LibraryFormat::Old, 0, ""},
      {"old format with count 200", old, LibraryFormat::Old, 1, "OldName"},
      {"name without terminator", CurrentImage(2, 1, kLibraryFileBytes, unended),
       LibraryFormat::Current, 1, unended},
  };
  for (const LibraryCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    const std::string path = dir.File(kLibraryFileName);
    WriteBytes(path, c.image);
    ScriptedInteraction ui;
    auto lib = std::make_unique<DefinitionLibrary>();
    LibraryFile file(path);
    ASSERT_TRUE(file.Open(*lib, ui));
    EXPECT_TRUE(ui.Empty());
    EXPECT_EQ(file.format(), c.format);
    const std::vector<std::string_view> names = VisibleNames(*lib);
    // A count beyond the slots in use shows the slots that are used.
    EXPECT_LE(static_cast<int>(names.size()), c.count);
    EXPECT_GE(lib->count, 0);
    EXPECT_LE(lib->count, kLibraryCapacity);
    if (!c.firstName.empty()) {
      ASSERT_FALSE(names.empty());
      EXPECT_EQ(names[0], c.firstName);
    }
    // Saving gives exactly one current-format block, which reads back the same.
    ASSERT_TRUE(file.Write(*lib, ui));
    EXPECT_EQ(fs::file_size(path), kLibraryFileBytes);
    file.Close();
    auto again = std::make_unique<DefinitionLibrary>();
    ASSERT_TRUE(file.Open(*again, ui));
    EXPECT_EQ(std::memcmp(lib.get(), again.get(), sizeof(DefinitionLibrary)), 0);
  }
}

// A 36-byte name from a library goes into a PPD whole and comes back as its
// first 32 bytes, the longest name a PPD definition can have.
TEST(HostileLibrary, UnendedNameReachesThePpdAndComesBackCut) {
  ScratchDir dir;
  const std::string path = dir.File("printer.ppd");
  WriteBytes(path, kHead + kTail);
  ScriptedInteraction ui;
  PrinterDefinitionList list;
  LoadedPpd ppd = MustLoad(FileTarget(path), list, ui);
  DensityDef def = Standard();
  std::memset(def.name, 'U', kNameFieldSize);
  ASSERT_TRUE(SetPPDToneInfo(ppd, ListOf({def}), {ui}));
  MustLoad(FileTarget(path), list, ui);
  ASSERT_EQ(list.count, 1);
  EXPECT_EQ(NameOf(list.slots[0]), std::string(32, 'U'));
}

}  // namespace
}  // namespace tonalis

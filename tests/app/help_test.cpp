// Help: the reader's tolerance of how compilers store topics, the help file
// the build compiles, ShowHelp, and which file the Help buttons open.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/chm_file.h"
#include "app/help.h"
#include "app/help_viewer.h"
#include "ui/editor/curve_editor_dialog.h"
#include "ui/main/main_dialog.h"

namespace tonalis::app {
namespace {

using ui::kEditorHelpContext;
using ui::kMainHelpContext;

std::string U32(std::uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
          static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24 & 0xFF)};
}

TEST(ChmReader, TopicPathsContextMapAndContentsAsCompilersStoreThem) {
  // libchm compares archive paths without regard to case.
  auto exists = [](std::string_view path) {
    return QString::fromUtf8(path.data(), path.size()).toLower() == "/main.html" ||
           QString::fromUtf8(path.data(), path.size()).toLower() == "/sub/editor.html";
  };
  const std::pair<const char*, std::optional<std::string>> paths[] = {
      {"main.html", "/main.html"},
      {"/home/x/build/help/stage/main.html", "/main.html"},  // the folder compiled in
      {"C:\\help\\stage\\MAIN.HTML#part", "/MAIN.HTML#part"},
      {"mk:@MSITStore:C:\\help\\QR_GRAD.chm::/sub/editor.html", "/sub/editor.html"},
      {"/build/editor.html", std::nullopt},  // not in the archive's root
      {"/", std::nullopt},
  };
  for (const auto& [stored, expected] : paths)
    EXPECT_EQ(ResolveTopicPath(stored, exists), expected) << stored;

  const std::string strings = std::string("\0/a.html\0b.html\0", 17);
  EXPECT_EQ(ParseContextMap(U32(16) + U32(5002) + U32(1) + U32(5003) + U32(9), strings),
            (std::map<std::uint32_t, std::string>{{5002, "/a.html"}, {5003, "b.html"}}));
  // A count beyond the table, an offset beyond #STRINGS, an empty name.
  EXPECT_EQ(
      ParseContextMap(U32(800) + U32(1) + U32(99) + U32(2) + U32(0) + U32(3) + U32(9), strings),
      (std::map<std::uint32_t, std::string>{{3, "b.html"}}));

  const auto entries = ParseSitemap(R"(<UL><LI><OBJECT type="text/sitemap">
      <param name="Name" value="Start &amp; more"><param name="Local" value="index.html"></OBJECT>
      <ul><li><object type="text/sitemap"><param name=name value='Editor &#x263A;'></object>
      <!-- <LI><OBJECT type="text/sitemap"><param name="Name" value="hidden"></OBJECT> --></ul>
      <LI><OBJECT type="text/sitemap"><param name="Name" value="Caf&#233; &amp &verylongname;">
      </OBJECT></UL>)");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "Start & more");
  EXPECT_EQ(entries[0].local, "index.html");
  EXPECT_EQ(entries[1].name, "Editor \xE2\x98\xBA");
  EXPECT_EQ(entries[1].depth, 1);
  EXPECT_EQ(entries[2].name, "Caf\xC3\xA9 &amp &verylongname;");
  EXPECT_EQ(entries[2].depth, 0);
}

TEST(HelpFile, MapsTheWindowsContextsToTheirTopics) {
  const auto file = ChmFile::Open(TONALIS_HELP_FILE);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->TopicOfContext(kMainHelpContext), "/main.html");
  EXPECT_EQ(file->TopicOfContext(kEditorHelpContext), "/editor.html");
  EXPECT_EQ(file->TopicOfContext(5004), std::nullopt);
  EXPECT_EQ(file->StartTopic(), "/index.html");
  for (const auto& entry : file->Contents()) EXPECT_TRUE(file->ResolveTopic(entry.local));
}

TEST(ShowHelp, ShowsTheTopicBesideTheModuleOrNothingForAMissingFileOrContext) {
  ASSERT_EQ(ShowHelp(nullptr, nullptr, kHelpInitialize, 0), 1);
  QTemporaryDir root;
  QDir().mkpath(root.filePath("module"));
  QFile::copy(TONALIS_HELP_FILE, root.filePath("module/QR_GRAD.chm"));
  const QString module = root.filePath("module/ZADA_VUV.rcc");
  const QString program = root.filePath("bin/tonalis");  // no help file there
  EXPECT_EQ(HelpFilePath(QString(), program), root.filePath("bin/QR_GRAD.chm"));
  EXPECT_EQ(ShowHelpForContext(QString(), program, kMainHelpContext), 0);
  EXPECT_EQ(OpenHelpViewer(), nullptr);

  ASSERT_NE(ShowHelpForContext(module, program, kEditorHelpContext), 0);
  HelpViewer* viewer = OpenHelpViewer();
  EXPECT_EQ(viewer->filePath(), root.filePath("module/QR_GRAD.chm"));
  EXPECT_EQ(viewer->currentTopic(), "/editor.html");
  EXPECT_EQ(viewer->browser()->documentTitle(), "The curve editor");
  // A context the file does not map leaves the topic on show.
  EXPECT_EQ(ShowHelpForContext(module, program, 5099), 0);
  EXPECT_EQ(viewer->currentTopic(), "/editor.html");

  // Installed, the help file lies in the data folder, not beside the program.
  QDir().mkpath(root.filePath("share/tonalis"));
  QFile::copy(TONALIS_HELP_FILE, root.filePath("share/tonalis/QR_GRAD.chm"));
  EXPECT_EQ(HelpFilePath(QString(), program), root.filePath("share/tonalis/QR_GRAD.chm"));
  EXPECT_EQ(ShowHelp(nullptr, nullptr, kHelpUninitialize, 0), 1);
  EXPECT_EQ(OpenHelpViewer(), nullptr);
}

}  // namespace
}  // namespace tonalis::app
